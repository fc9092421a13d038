#include "app/AppStartup.h"

#include "app/MessageBoxService.h"
#include "shellutil/ProgramLaunch.h"

void StartApplication() {
    SetShellMessageProc([](const std::u16string& Text) { MessageBoxes().ShowMessage(Text); });
}
