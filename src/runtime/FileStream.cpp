#include "runtime/FileStream.h"

#include <limits>

#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"

void THandleStream::SetSize(std::int64_t NewSize) {
    Seek(NewSize, soBeginning);
    if (!FileTruncate(FHandle, NewSize)) throw EWriteError(SWriteError);
}

std::int32_t THandleStream::Read(void* Buffer, std::int32_t Count) {
    if (Count <= 0) return 0;
    const std::int32_t Result = FileRead(FHandle, Buffer, Count);
    return Result < 0 ? 0 : Result;
}

std::int32_t THandleStream::Write(const void* Buffer, std::int32_t Count) {
    if (Count <= 0) return 0;
    const std::int32_t Result = FileWrite(FHandle, Buffer, Count);
    return Result < 0 ? 0 : Result;
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    return FileSeek(FHandle, Offset, static_cast<int>(Origin));
}

TFileStream::TFileStream(const std::string& FileName, std::uint16_t Mode)
    : THandleStream(INVALID_HANDLE_VALUE_RTL), FFileName(FileName) {
    const std::string FullName = ExpandFileName(FileName);
    if (Mode == fmCreate) {
        FHandle = FileCreate(FileName);
        if (FHandle == INVALID_HANDLE_VALUE_RTL)
            throw EFCreateError(Format(SFCreateErrorEx, FullName.c_str(),
                                       SysErrorMessage(GetLastOSError()).c_str()));
    } else {
        FHandle = FileOpen(FileName, Mode);
        if (FHandle == INVALID_HANDLE_VALUE_RTL)
            throw EFOpenError(Format(SFOpenErrorEx, FullName.c_str(),
                                     SysErrorMessage(GetLastOSError()).c_str()));
    }
}

TFileStream::~TFileStream() {
    if (FHandle != INVALID_HANDLE_VALUE_RTL) FileClose(FHandle);
}

TFileStream::TFileStream(THandle Handle, const std::string& FileName) : THandleStream(Handle), FFileName(FileName) {}

std::int32_t TSharedHandleReadStream::Read(void* Buffer, std::int32_t Count) {
    if (Count <= 0) return 0;
    const std::int32_t N = FileReadAt(FHandle, Buffer, Count, FPosition);
    if (N <= 0) return 0;
    FPosition += N;
    return N;
}

std::int32_t TSharedHandleReadStream::Write(const void*, std::int32_t) { return 0; }

std::int64_t TSharedHandleReadStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t Base = 0;
    if (Origin == soCurrent) Base = FPosition;
    else if (Origin == soEnd) Base = FileSizeOf(FHandle);
    // Base is never negative here, so only a sum past the top can overflow.
    if (Base < 0 || (Offset > 0 && Base > std::numeric_limits<std::int64_t>::max() - Offset) || Base + Offset < 0)
        return -1;
    FPosition = Base + Offset;
    return FPosition;
}
