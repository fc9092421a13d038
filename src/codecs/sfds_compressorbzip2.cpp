#include "codecs/sfds_compressorbzip2.h"

#include "sfds/sfds_consts.h"

namespace {

TStream& RequireSource(TStream* Source) {
    if (!Source) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
    return *Source;
}

}  // namespace

// ---- TBZSFDSDecompressionStream ----------------------------------------------

TBZSFDSDecompressionStream::TBZSFDSDecompressionStream(std::unique_ptr<TStream> SourceStream, std::int64_t UnpSize)
    : TBZDecompressionStream(RequireSource(SourceStream.get())),
      FUnpackedFileSize(UnpSize),
      FStream(std::move(SourceStream)) {}

std::int32_t TBZSFDSDecompressionStream::Read(void* Buffer, std::int32_t Count) {
    const std::int32_t N = TBZDecompressionStream::Read(Buffer, Count);
    FPosition += N;
    return N;
}

std::int64_t TBZSFDSDecompressionStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t R;
    if (Origin == soBeginning && Offset < FPosition) {
        TBZDecompressionStream::Seek(0, soBeginning);
        // Stay in step with the restart even when the target is refused.
        FPosition = 0;
        R = TBZDecompressionStream::Seek(Offset, soBeginning);
    } else if ((Offset == 0 && Origin == soCurrent) || (Origin == soBeginning && Offset == FPosition)) {
        R = FPosition;
    } else {
        R = TBZDecompressionStream::Seek(Offset, Origin);
    }
    FPosition = R;
    return R;
}

// ---- Plug-ins ----------------------------------------------------------------

TBlockSize100k SFDS_BZip2BlockSize(TSFDSCompressionLevel Level) {
    switch (Level) {
        case clFastest: return bs1;
        case clMax: return bs9;
        default: return bs5;
    }
}

TSFDSBZip2Compressor::TSFDSBZip2Compressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                                           TSFDSCompressionStrategy)
    : TSFDSForwardingStream(
          std::make_unique<TBZCompressionStream>(SFDS_BZip2BlockSize(CompressionLevel), RequireSource(SourceStream))) {}

std::unique_ptr<TSFDSCompressor> TSFDSBZip2Compressor::Create(TStream* SourceStream,
                                                              TSFDSCompressionLevel CompressionLevel,
                                                              TSFDSCompressionStrategy CompressionStrategy) {
    return std::make_unique<TSFDSBZip2Compressor>(SourceStream, CompressionLevel, CompressionStrategy);
}

TSFDSBZip2Decompressor::TSFDSBZip2Decompressor(std::unique_ptr<TStream> SourceStream, std::int64_t SourceStreamSize)
    : TSFDSForwardingStream(
          std::make_unique<TBZSFDSDecompressionStream>(std::move(SourceStream), SourceStreamSize)) {}

std::unique_ptr<TSFDSDecompressor> TSFDSBZip2Decompressor::Create(std::unique_ptr<TStream> SourceStream,
                                                                  std::int64_t SourceStreamSize) {
    return std::make_unique<TSFDSBZip2Decompressor>(std::move(SourceStream), SourceStreamSize);
}

void SFDS_RegisterBZip2Format() {
    SFDS_RegisterCompressionFormat(SFDS_BZip2FormatName, SFDS_BZip2FormatID, &TSFDSBZip2Compressor::Create,
                                   &TSFDSBZip2Decompressor::Create);
}
