#include "shellutil/ProgramLaunch.h"

#include <iostream>
#include <mutex>
#include <utility>

#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "shellutil/ShellConsts.h"
#include "shellutil/ShellPlatform.h"
#include "shellutil/WindowsEdition.h"

namespace {

std::mutex GMessageLock;

TShellMessageProc& MessageProc() {
    static TShellMessageProc Proc;
    return Proc;
}

void ShowShellMessage(const std::u16string& Text) {
    TShellMessageProc Proc;
    {
        const std::lock_guard<std::mutex> Lock(GMessageLock);
        Proc = MessageProc();
    }
    if (Proc)
        Proc(Text);
    else
        std::cerr << UnicodeToUTF8(Text) << '\n';
}

}  // namespace

TShellMessageProc SetShellMessageProc(TShellMessageProc Proc) {
    const std::lock_guard<std::mutex> Lock(GMessageLock);
    return std::exchange(MessageProc(), std::move(Proc));
}

std::u16string ElevationErrorMessage(std::uint32_t ErrorCode) {
    switch (ErrorCode) {
        case ecCancelled:
            return std::u16string(SElevationDeclined);
        case ecFileNotFound:
            return std::u16string(SElevationFileNotFound);
        case ecAccessDenied:
            return std::u16string(SElevationAccessDenied);
        default: {
            const std::string Digits = std::to_string(ErrorCode);
            return std::u16string(SElevationErrorNo) + std::u16string(Digits.begin(), Digits.end());
        }
    }
}

std::intptr_t LaunchProgram(const std::string& FileName, const std::string& Parameters, int ShowCommand) {
    if (WindowsEdition() <= EditionRunAsThreshold)
        return ShellOpen(FileName, Parameters, ExtractFilePath(FileName), ShowCommand);
    RunElevated(FileName, Parameters, ShowCommand);
    return 0;
}

std::uint32_t RunElevated(const std::string& FileName, const std::string& Parameters, int ShowCommand) {
    std::uint32_t ErrorCode = 0;
    if (ShellRunAs(FileName, Parameters, ExtractFilePath(FileName), ShowCommand, ErrorCode)) return 0;
    ShowShellMessage(ElevationErrorMessage(ErrorCode));
    return ErrorCode;
}
