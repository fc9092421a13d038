// Compression format 2 ("BZip2") as a codec plug-in: the compressor and
// decompressor classes the registry hands out, and the decompression stream
// an opened entry reads through.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/sfds_bzip2ex.h"
#include "codecs/sfds_entrydecompression.h"
#include "codecs/sfds_forwardingstream.h"
#include "sfds/sfds_formats.h"

inline constexpr const char* SFDS_BZip2FormatName = "BZip2";
inline constexpr std::uint8_t SFDS_BZip2FormatID = 2;

// An entry's decompressed bytes through libbzip2 (sfds_entrydecompression.h).
using TBZSFDSDecompressionStream = TSFDSEntryDecompressionStream<TBZDecompressionStream>;

TBlockSize100k SFDS_BZip2BlockSize(TSFDSCompressionLevel Level);

class TSFDSBZip2Compressor : public TSFDSForwardingCompressor<TSFDSBZip2Compressor, TBZCompressionStream> {
public:
    // Compresses into SourceStream. bzip2 has no strategies:
    // CompressionStrategy is not used.
    TSFDSBZip2Compressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                         TSFDSCompressionStrategy CompressionStrategy);
};

using TSFDSBZip2Decompressor = TSFDSForwardingDecompressor<TBZSFDSDecompressionStream>;

// Registers format 2 with the registry; part of the library's start-up.
void SFDS_RegisterBZip2Format();
