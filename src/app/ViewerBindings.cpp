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

TPoint ViewerButtonPosition(std::size_t Index, int Width, int Height, int Dpi) {
    const auto S = [Dpi](int Pixels) { return ScaleToDpi(Pixels, Dpi); };
    switch (Index) {
        case 0:
            return {Width - S(ViewerButtons[0].Design.Width) - S(3), S(3)};
        case 1:
            return {Width / 2 - S(83), Height - S(43)};
        case 2:
            return {Width / 2 + S(17), Height - S(43)};
        default:
            return {};
    }
}
