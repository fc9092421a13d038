#include "runtime/RandomAccessFile.h"

#include <limits>

#include "runtime/FileStream.h"

// ReadAt and WriteAt are the platform's: they live in its file-system backend.

TRandomAccessFile::TRandomAccessFile(const std::string& FileName, std::uint16_t Mode)
    : FHandle(FileOpenOrRaise(FileName, Mode)), FFileName(FileName) {}

TRandomAccessFile::~TRandomAccessFile() { FileClose(FHandle); }

std::int64_t TRandomAccessFile::Size() const { return FileSizeOf(FHandle); }

TRandomAccessStream::TRandomAccessStream(const std::string& FileName, std::uint16_t Mode)
    : FFile(std::make_shared<TRandomAccessFile>(FileName, Mode)) {}

std::int64_t TRandomAccessStream::GetSize() { return FFile->Size(); }

std::int32_t TRandomAccessStream::Read(void* Buffer, std::int32_t Count) {
    if (Count <= 0) return 0;
    const std::int32_t N = FFile->ReadAt(Buffer, Count, FPosition);
    if (N <= 0) return 0;
    FPosition += N;
    return N;
}

std::int32_t TRandomAccessStream::Write(const void* Buffer, std::int32_t Count) {
    if (Count <= 0) return 0;
    const std::int32_t N = FFile->WriteAt(Buffer, Count, FPosition);
    if (N <= 0) return 0;
    FPosition += N;
    return N;
}

std::int64_t TRandomAccessStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t Base = 0;
    if (Origin == soCurrent) Base = FPosition;
    else if (Origin == soEnd) Base = FFile->Size();
    // Base is never negative here, so only a sum past the top can overflow.
    if (Base < 0 || (Offset > 0 && Base > std::numeric_limits<std::int64_t>::max() - Offset) || Base + Offset < 0)
        return -1;
    FPosition = Base + Offset;
    return FPosition;
}
