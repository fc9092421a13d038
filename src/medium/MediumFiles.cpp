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

void MediumError(const std::string& Text) { ToolError(Text); }

int MediumGuarded(const std::function<int()>& Body) {
    try {
        return Body();
    } catch (const ESFDSUserAbortedOperation& E) {
        MediumError(ToolToUtf8(E.Message()));
        return SFDS_ERR_ABORTED;
    } catch (const Exception& E) {
        MediumError(ToolToUtf8(E.Message()));
        return 1;
    } catch (const std::exception& E) {
        MediumError(E.what());
        return 1;
    }
}

TMediumProgramKind MediumProgramKind(const std::string& FileName) {
    const THandle File = FileOpen(FileName, fmOpenRead | fmShareDenyNone);
    if (File == INVALID_HANDLE_VALUE_RTL) return pkNone;
    // The DOS header names where the PE header is; its machine field follows
    // the signature.
    unsigned char Dos[64] = {};
    unsigned char Pe[6] = {};
    bool HasPe = false;
    const bool IsMZ = FileRead(File, Dos, sizeof Dos) == static_cast<std::int32_t>(sizeof Dos) && Dos[0] == 'M' &&
                      Dos[1] == 'Z';
    if (IsMZ) {
        const std::int64_t At = Dos[60] | Dos[61] << 8 | Dos[62] << 16 | static_cast<std::int64_t>(Dos[63]) << 24;
        HasPe = FileSeek(File, At, 0) == At &&
                FileRead(File, Pe, sizeof Pe) == static_cast<std::int32_t>(sizeof Pe) && Pe[0] == 'P' &&
                Pe[1] == 'E' && Pe[2] == 0 && Pe[3] == 0;
    }
    FileClose(File);
    if (!IsMZ) return pkNone;
    if (!HasPe) return pkOther;
    const unsigned Machine = Pe[4] | Pe[5] << 8;
    return Machine == 0x014C ? pk32Bit : Machine == 0x8664 ? pk64Bit : pkOther;
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
