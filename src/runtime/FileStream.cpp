#include "runtime/FileStream.h"

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

THandle FileOpenOrRaise(const std::string& FileName, std::uint16_t Mode) {
    const THandle Handle = Mode == fmCreate ? FileCreate(FileName) : FileOpen(FileName, Mode);
    if (Handle != INVALID_HANDLE_VALUE_RTL) return Handle;
    // Taken before the name is expanded, which may ask the system again.
    const std::string Reason = SysErrorMessage(GetLastOSError());
    const std::string FullName = ExpandFileName(FileName);
    if (Mode == fmCreate) throw EFCreateError(Format(SFCreateErrorEx, FullName.c_str(), Reason.c_str()));
    throw EFOpenError(Format(SFOpenErrorEx, FullName.c_str(), Reason.c_str()));
}

TFileStream::TFileStream(const std::string& FileName, std::uint16_t Mode)
    : THandleStream(FileOpenOrRaise(FileName, Mode)), FFileName(FileName) {}

TFileStream::~TFileStream() {
    if (FHandle != INVALID_HANDLE_VALUE_RTL) FileClose(FHandle);
}

TFileStream::TFileStream(THandle Handle, const std::string& FileName) : THandleStream(Handle), FFileName(FileName) {}
