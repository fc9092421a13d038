#include "runtime/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"

TMemoryStream::TMemoryStream(std::string_view Bytes) : FData(Bytes.begin(), Bytes.end()) {}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0) NewSize = 0;
    try {
        FData.resize(static_cast<std::size_t>(NewSize));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SMemoryStreamError);
    }
    if (FPosition > NewSize) FPosition = NewSize;
}

std::int32_t TMemoryStream::Read(void* Buffer, std::int32_t Count) {
    const auto Size = static_cast<std::int64_t>(FData.size());
    if (Count <= 0 || FPosition < 0 || FPosition >= Size) return 0;
    const auto N = static_cast<std::int32_t>(std::min<std::int64_t>(Count, Size - FPosition));
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(N));
    FPosition += N;
    return N;
}

std::int32_t TMemoryStream::Write(const void* Buffer, std::int32_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    const std::int64_t End = FPosition + Count;
    if (End > static_cast<std::int64_t>(FData.size())) {
        try {
            if (End > static_cast<std::int64_t>(FData.capacity()))
                FData.reserve(std::max<std::size_t>(static_cast<std::size_t>(End), FData.capacity() * 2));
            FData.resize(static_cast<std::size_t>(End));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(SMemoryStreamError);
        }
    }
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition = End;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
        case soBeginning: FPosition = Offset; break;
        case soCurrent: FPosition += Offset; break;
        case soEnd: FPosition = static_cast<std::int64_t>(FData.size()) + Offset; break;
    }
    return FPosition;
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}
