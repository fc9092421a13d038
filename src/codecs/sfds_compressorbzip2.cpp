#include "codecs/sfds_compressorbzip2.h"

#include "sfds/sfds_consts.h"

namespace {

TStream& RequireSource(TStream* Source) {
    if (!Source) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
    return *Source;
}

}  // namespace

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
