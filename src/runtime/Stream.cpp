#include "runtime/Stream.h"

#include <algorithm>
#include <vector>

#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"

std::int64_t TStream::GetSize() {
    const std::int64_t Saved = Seek(0, soCurrent);
    const std::int64_t Result = Seek(0, soEnd);
    Seek(Saved, soBeginning);
    return Result;
}

void TStream::SetSize(std::int64_t) {}

void TStream::ReadBuffer(void* Buffer, std::int32_t Count) {
    auto* P = static_cast<unsigned char*>(Buffer);
    while (Count > 0) {
        const std::int32_t Got = Read(P, Count);
        if (Got <= 0) throw EReadError(SReadError);
        P += Got;
        Count -= Got;
    }
}

void TStream::WriteBuffer(const void* Buffer, std::int32_t Count) {
    const auto* P = static_cast<const unsigned char*>(Buffer);
    while (Count > 0) {
        const std::int32_t Put = Write(P, Count);
        if (Put <= 0) throw EWriteError(SWriteError);
        P += Put;
        Count -= Put;
    }
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
    constexpr std::int32_t BufSize = 32768;
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    std::vector<unsigned char> Buf(static_cast<std::size_t>(std::min<std::int64_t>(Count, BufSize)));
    std::int64_t Done = 0;
    while (Done < Count) {
        const auto N = static_cast<std::int32_t>(std::min<std::int64_t>(Count - Done, BufSize));
        Source.ReadBuffer(Buf.data(), N);
        WriteBuffer(Buf.data(), N);
        Done += N;
    }
    return Done;
}
