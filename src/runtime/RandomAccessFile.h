// A file read and written at offsets that each call names, never through a
// position the system keeps for the handle: any number of threads read one
// open file at once, with no lock and without moving anything another reader
// relies on. Streams over it keep a position each and share the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/FileSystem.h"
#include "runtime/Stream.h"

class TRandomAccessFile {
public:
    // Mode as for TFileStream: fmCreate, or an access mode or'ed with a
    // sharing mode. Raises EFCreateError / EFOpenError as TFileStream does.
    TRandomAccessFile(const std::string& FileName, std::uint16_t Mode);
    ~TRandomAccessFile();
    TRandomAccessFile(const TRandomAccessFile&) = delete;
    TRandomAccessFile& operator=(const TRandomAccessFile&) = delete;

    // The bytes read at Offset: fewer than Count where the file ends first,
    // 0 at or after its end, -1 on failure (GetLastOSError says why; a
    // negative Offset is one). Callable from several threads at once.
    std::int32_t ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) const;
    // The bytes written at Offset, the file growing as needed; -1 on failure.
    std::int32_t WriteAt(const void* Buffer, std::int32_t Count, std::int64_t Offset);
    std::int64_t Size() const;  // -1 on failure

    // For questions about the file, such as FileIdentityOf. Never read, write
    // or seek through it: that would use the position nobody here keeps.
    THandle Handle() const { return FHandle; }
    const std::string& FileName() const { return FFileName; }

private:
    THandle FHandle;
    std::string FFileName;
};

// A stream over a random-access file, at a position of its own. The file
// lives as long as the last stream over it. One thread at a time per stream;
// other streams over the same file may be read on other threads meanwhile.
class TRandomAccessStream : public TStream {
public:
    explicit TRandomAccessStream(std::shared_ptr<TRandomAccessFile> File) : FFile(std::move(File)) {}
    // Opens FileName with Mode for this stream alone.
    TRandomAccessStream(const std::string& FileName, std::uint16_t Mode);

    std::int64_t GetSize() override;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // 0 for a file opened for reading only.
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    // -1, the position unchanged, for a place before the start.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    const std::shared_ptr<TRandomAccessFile>& File() const { return FFile; }

private:
    std::shared_ptr<TRandomAccessFile> FFile;
    std::int64_t FPosition = 0;
};
