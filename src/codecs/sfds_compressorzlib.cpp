#include "codecs/sfds_compressorzlib.h"

#include "sfds/sfds_consts.h"

namespace {

TStream& RequireSource(TStream* Source) {
    if (!Source) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
    return *Source;
}

}  // namespace

// ---- TZSFDSDecompressionStream -----------------------------------------------

TZSFDSDecompressionStream::TZSFDSDecompressionStream(std::unique_ptr<TStream> Source, std::int64_t UnpSize)
    : TZSFDSDecompressionStream(std::move(Source), 15, UnpSize) {}

TZSFDSDecompressionStream::TZSFDSDecompressionStream(std::unique_ptr<TStream> Source, std::int32_t WindowBits,
                                                     std::int64_t UnpSize)
    : TZDecompressionStream(RequireSource(Source.get()), WindowBits),
      FUnpackedFileSize(UnpSize),
      FStream(std::move(Source)) {}

std::int32_t TZSFDSDecompressionStream::Read(void* Buffer, std::int32_t Count) {
    const std::int32_t N = TZDecompressionStream::Read(Buffer, Count);
    FPosition += N;
    return N;
}

std::int64_t TZSFDSDecompressionStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t R;
    if (Origin == soBeginning && Offset < FPosition) {
        TZDecompressionStream::Seek(0, soBeginning);
        // Stay in step with the restart even when the target is refused.
        FPosition = 0;
        R = TZDecompressionStream::Seek(Offset, soBeginning);
    } else if ((Offset == 0 && Origin == soCurrent) || (Origin == soBeginning && Offset == FPosition)) {
        R = FPosition;
    } else {
        R = TZDecompressionStream::Seek(Offset, Origin);
    }
    FPosition = R;
    return R;
}

// ---- Plug-ins ----------------------------------------------------------------

TZCompressionLevel SFDS_ZLibCompressionLevel(TSFDSCompressionLevel Level) {
    switch (Level) {
        case clFastest: return zcFastest;
        case clMax: return zcMax;
        default: return zcDefault;
    }
}

TZStrategy SFDS_ZLibStrategy(TSFDSCompressionStrategy Strategy) {
    switch (Strategy) {
        case csFiltered: return zsFiltered;
        case csHuffman: return zsHuffman;
        case csRLE: return zsRLE;
        case csFixed: return zsFixed;
        default: return zsDefault;
    }
}

TSFDSZLibCompressor::TSFDSZLibCompressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                                         TSFDSCompressionStrategy CompressionStrategy)
    : TSFDSForwardingStream(std::make_unique<TZCompressionStream>(RequireSource(SourceStream),
                                                                  SFDS_ZLibCompressionLevel(CompressionLevel), 15, 8,
                                                                  SFDS_ZLibStrategy(CompressionStrategy))) {}

std::unique_ptr<TSFDSCompressor> TSFDSZLibCompressor::Create(TStream* SourceStream,
                                                             TSFDSCompressionLevel CompressionLevel,
                                                             TSFDSCompressionStrategy CompressionStrategy) {
    return std::make_unique<TSFDSZLibCompressor>(SourceStream, CompressionLevel, CompressionStrategy);
}

TSFDSZLibDecompressor::TSFDSZLibDecompressor(std::unique_ptr<TStream> SourceStream, std::int64_t SourceStreamSize)
    : TSFDSForwardingStream(
          std::make_unique<TZSFDSDecompressionStream>(std::move(SourceStream), SourceStreamSize)) {}

std::unique_ptr<TSFDSDecompressor> TSFDSZLibDecompressor::Create(std::unique_ptr<TStream> SourceStream,
                                                                 std::int64_t SourceStreamSize) {
    return std::make_unique<TSFDSZLibDecompressor>(std::move(SourceStream), SourceStreamSize);
}

void SFDS_RegisterZLibFormat() {
    SFDS_RegisterCompressionFormat(SFDS_ZLibFormatName, SFDS_ZLibFormatID, &TSFDSZLibCompressor::Create,
                                   &TSFDSZLibDecompressor::Create);
}
