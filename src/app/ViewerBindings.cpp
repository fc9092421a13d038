#include "app/ViewerBindings.h"

TViewerCommand ViewerCommandForKey(TViewerKey Key) {
    for (const TViewerKeyBinding& B : ViewerKeyBindings)
        if (B.Key == Key) return B.Command;
    return vcNone;
}

const char* ViewerCommandName(TViewerCommand Command) {
    for (const TViewerCommandName& N : ViewerCommandNames)
        if (N.Command == Command) return N.Name;
    return "none";
}

TPoint ViewerButtonPosition(std::size_t Index, int Width, int Height) {
    switch (Index) {
        case 0:
            return {Width - ViewerButtons[0].Design.Width - 3, 3};
        case 1:
            return {Width / 2 - 83, Height - 43};
        case 2:
            return {Width / 2 + 17, Height - 43};
        default:
            return {};
    }
}
