#include "medium/MediumFiles.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "medium/MediumConsts.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_extract.h"
#include "tools/ToolText.h"

void MediumError(const std::string& Text) {
    std::fprintf(stderr, "%s%s\n", MediumErrorPrefix, Text.c_str());
    std::fflush(stderr);
}

bool MediumIsWindowsProgram(const std::string& FileName) {
    const THandle File = FileOpen(FileName, fmOpenRead | fmShareDenyNone);
    if (File == INVALID_HANDLE_VALUE_RTL) return false;
    char Magic[2] = {};
    const std::int32_t N = FileRead(File, Magic, 2);
    FileClose(File);
    return N == 2 && Magic[0] == 'M' && Magic[1] == 'Z';
}

void MediumCopyFile(const std::string& Source, const std::string& Dest, TToolProgress& Progress) {
    // Opening and creating raise with the file's name and the system's reason.
    auto In = std::make_unique<TFileStream>(ToolToAnsi(Source), fmOpenRead | fmShareDenyWrite);
    auto Out = std::make_unique<TFileStream>(ToolToAnsi(Dest), fmCreate);
    std::vector<char> Buffer(SFDS_CopyBufferSize * 8);
    for (;;) {
        if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        const std::int32_t N = In->Read(Buffer.data(), static_cast<std::int32_t>(Buffer.size()));
        if (N < 0)
            throw EMediumCopyError(ToolToAnsi(Format(MediumReadError, ToolShown(Source).c_str(),
                                                     ToolToUtf8(SysErrorMessage(GetLastOSError())).c_str())));
        if (N == 0) break;
        for (std::int32_t Done = 0; Done < N;) {
            const std::int32_t W = Out->Write(Buffer.data() + Done, N - Done);
            if (W <= 0)
                throw EMediumCopyError(ToolToAnsi(Format(MediumWriteError, ToolShown(Dest).c_str(),
                                                         ToolToUtf8(SysErrorMessage(GetLastOSError())).c_str())));
            Done += W;
        }
        Progress.Advance(N);
    }
}
