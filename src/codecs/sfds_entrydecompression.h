// An entry's decompressed bytes, as both codec plug-ins hand them out: the
// stream owns its source, keeps a 64-bit position of its own, answers
// position queries without touching the codec and reaches backward targets
// by restarting and skipping forward. Adapter is the codec's decompression
// adapter (TDecompressionLoop).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

template <class Adapter>
class TSFDSEntryDecompressionStream : public Adapter {
public:
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        const std::int32_t N = Adapter::Read(Buffer, Count);
        FPosition += N;
        return N;
    }

    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        std::int64_t R;
        if (Origin == soBeginning && Offset < FPosition) {
            Adapter::Seek(0, soBeginning);
            // Stay in step with the restart even when the target is refused.
            FPosition = 0;
            R = Adapter::Seek(Offset, soBeginning);
        } else if ((Offset == 0 && Origin == soCurrent) || (Origin == soBeginning && Offset == FPosition)) {
            R = FPosition;
        } else {
            R = Adapter::Seek(Offset, Origin);
        }
        FPosition = R;
        return R;
    }

    // Raises ESFDSNilSourceStream for a null Source; AdapterArgs follow the
    // source in the adapter's constructor.
    template <typename... TAdapterArgs>
    TSFDSEntryDecompressionStream(std::unique_ptr<TStream> Source, std::int64_t UnpSize, TAdapterArgs... AdapterArgs)
        : Adapter(RequireSource(Source.get()), AdapterArgs...),
          FUnpackedFileSize(UnpSize),
          FOwnedSource(std::move(Source)) {}

    // The size given at construction; nothing here depends on it.
    std::int64_t UnpackedFileSize() const { return FUnpackedFileSize; }

private:
    static TStream& RequireSource(TStream* Source) {
        if (!Source) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
        return *Source;
    }

    std::int64_t FUnpackedFileSize;
    std::int64_t FPosition = 0;
    // A member, so it is freed before the adapter part releases the codec's state.
    std::unique_ptr<TStream> FOwnedSource;
};
