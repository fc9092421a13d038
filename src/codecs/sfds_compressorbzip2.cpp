#include "codecs/sfds_compressorbzip2.h"

#include "sfds/sfds_consts.h"

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
    : TSFDSForwardingCompressor(
          std::make_unique<TBZCompressionStream>(SFDS_BZip2BlockSize(CompressionLevel), RequireSource(SourceStream))) {}

void SFDS_RegisterBZip2Format() {
    SFDS_RegisterCompressionFormat(SFDS_BZip2FormatName, SFDS_BZip2FormatID, &TSFDSBZip2Compressor::Create,
                                   &TSFDSBZip2Decompressor::Create);
}
