#include "sfds/sfds_readaheadstream.h"

#include <algorithm>
#include <cstring>

#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"

TSFDSReadAheadStream::TSFDSReadAheadStream(std::unique_ptr<TStream> Inner, std::int64_t ExpectedSize,
                                           std::int32_t ChunkSize)
    : FInner(std::move(Inner)), FExpectedSize(ExpectedSize), FChunkSize(std::max<std::int32_t>(ChunkSize, 1)) {
    FPosition = FInner->Position();
}

TSFDSReadAheadStream::~TSFDSReadAheadStream() {
    // The worker reads FInner: it has to be gone before FInner is.
    FSource.reset();
}

void TSFDSReadAheadStream::StopReadAhead() {
    FSource.reset();
    FChunk = nullptr;
    FChunkLeft = 0;
    FLastChunk = false;
    FPassThrough = true;
}

std::int32_t TSFDSReadAheadStream::Read(void* Buffer, std::int32_t Count) {
    if (FError) std::rethrow_exception(FError);
    if (Count <= 0) return 0;
    if (FPassThrough) {
        const std::int32_t Got = FInner->Read(Buffer, Count);
        if (Got > 0) FPosition += Got;
        return Got;
    }
    if (!FSource) FSource = SFDS_CreateChunkSource(*FInner, FChunkSize, FExpectedSize);

    auto* Out = static_cast<std::uint8_t*>(Buffer);
    std::int32_t Done = 0;
    while (Done < Count) {
        if (FChunkLeft == 0) {
            if (FLastChunk) break;
            std::int32_t Got = 0;
            try {
                FChunk = FSource->Next(Got);
            } catch (...) {
                FError = std::current_exception();
                FLastChunk = true;
                // The bytes before the failure are the caller's first; the
                // exception comes with the next Read.
                if (Done == 0) throw;
                break;
            }
            FChunkLeft = Got;
            FLastChunk = Got < FChunkSize;
            if (Got == 0) break;
        }
        const std::int32_t N = std::min(Count - Done, FChunkLeft);
        std::memcpy(Out + Done, FChunk, static_cast<std::size_t>(N));
        FChunk += N;
        FChunkLeft -= N;
        Done += N;
    }
    FPosition += Done;
    // A short chunk may be a short read rather than the end: from here on the
    // inner stream answers for itself, as it would to a plain loop.
    if (FChunkLeft == 0 && FLastChunk && !FError) StopReadAhead();
    return Done;
}

std::int32_t TSFDSReadAheadStream::Write(const void*, std::int32_t) { throw EWriteError(SWriteError); }

std::int64_t TSFDSReadAheadStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (!FPassThrough && FSource) {
        if ((Origin == soCurrent && Offset == 0) || (Origin == soBeginning && Offset == FPosition))
            return FPosition;
        StopReadAhead();
        FError = nullptr;
        // The worker has read past the caller; streams that cannot step back
        // (decompressors) can still start over and skip forward.
        if (FInner->Position() != FPosition) {
            FInner->SetPosition(0);
            if (FPosition != 0) FInner->Seek(FPosition, soBeginning);
        }
    }
    FPosition = FInner->Seek(Offset, Origin);
    return FPosition;
}
