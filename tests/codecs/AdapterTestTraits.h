// What the adapter tests need to know about each codec, so that one typed
// suite covers the behaviour the zlib and bzip2 adapters share.
#pragma once

#include <memory>
#include <string>

#include "codecs/sfds_bzip2ex.h"
#include "codecs/sfds_zlibex.h"
#include "CodecTestSupport.h"
#include "runtime/MemoryStream.h"

// The decompressor runs on Engine (zlib, or the fast engine where the build
// has it); the compressor is the zlib adapter in both.
template <TZEngine Engine>
struct ZLibEngineTraits {
    using TCompressor = TZCompressionStream;
    using TDecompressor = TZDecompressionStream;
    using ECompressionError = EZCompressionError;
    using EDecompressionError = EZDecompressionError;
    static constexpr const char* InvalidOperation = SZInvalidOperation;
    static constexpr std::int32_t SkipPiece = 16384;

    static std::unique_ptr<TCompressor> MakeCompressor(TStream& Dest) {
        return std::make_unique<TZCompressionStream>(Dest, zcDefault);
    }
    static std::unique_ptr<TDecompressor> MakeDecompressor(TStream& Source) {
        TZEngineScope Scope(Engine);
        return std::make_unique<TZDecompressionStream>(Source);
    }
};
using ZLibTraits = ZLibEngineTraits<TZEngine::ZLib>;
using ZLibFastTraits = ZLibEngineTraits<TZEngine::Fast>;

struct BZip2Traits {
    using TCompressor = TBZCompressionStream;
    using TDecompressor = TBZDecompressionStream;
    using ECompressionError = EBZCompressionError;
    using EDecompressionError = EBZDecompressionError;
    static constexpr const char* InvalidOperation = SBZInvalidOperation;
    static constexpr std::int32_t SkipPiece = 8192;

    static std::unique_ptr<TCompressor> MakeCompressor(TStream& Dest) {
        // Small blocks, so that moderate amounts of data already leave whole
        // output blocks while writing.
        return std::make_unique<TBZCompressionStream>(bs1, Dest);
    }
    static std::unique_ptr<TDecompressor> MakeDecompressor(TStream& Source) {
        return std::make_unique<TBZDecompressionStream>(Source);
    }
};

template <typename Traits>
std::string CompressWith(const std::string& Data) {
    TMemoryStream Dest;
    {
        auto C = Traits::MakeCompressor(Dest);
        C->WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    }
    return Dest.AsString();
}
