// A stream over a file opened by name with an access and a sharing mode.
#pragma once

#include <string>

#include "runtime/FileSystem.h"
#include "runtime/Stream.h"

// Opens FileName as TFileStream does (Mode fmCreate, or an access mode or'ed
// with a sharing mode) and hands the handle over. Raises EFCreateError /
// EFOpenError with the full file name and the system's text.
THandle FileOpenOrRaise(const std::string& FileName, std::uint16_t Mode);

class THandleStream : public TStream {
public:
    explicit THandleStream(THandle Handle) : FHandle(Handle) {}

    void SetSize(std::int64_t NewSize) override;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    THandle Handle() const { return FHandle; }

protected:
    THandle FHandle;
};

class TFileStream : public THandleStream {
public:
    // Mode is fmCreate, or an access mode or'ed with a sharing mode. Raises
    // EFCreateError / EFOpenError with the full file name and the system's text.
    TFileStream(const std::string& FileName, std::uint16_t Mode);
    // Takes over Handle, already open on FileName.
    TFileStream(THandle Handle, const std::string& FileName);
    ~TFileStream() override;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
};
