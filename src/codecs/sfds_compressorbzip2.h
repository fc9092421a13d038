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
class TBZSFDSDecompressionStream : public TSFDSEntryDecompressionStream<TBZDecompressionStream> {
public:
    TBZSFDSDecompressionStream(std::unique_ptr<TStream> SourceStream, std::int64_t UnpSize)
        : TSFDSEntryDecompressionStream(std::move(SourceStream), UnpSize) {}
};

TBlockSize100k SFDS_BZip2BlockSize(TSFDSCompressionLevel Level);

class TSFDSBZip2Compressor : public TSFDSForwardingStream<TSFDSCompressor, TBZCompressionStream> {
public:
    // Compresses into SourceStream (not owned; must outlive the compressor).
    // bzip2 has no strategies: CompressionStrategy is not used.
    TSFDSBZip2Compressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                         TSFDSCompressionStrategy CompressionStrategy);
    static std::unique_ptr<TSFDSCompressor> Create(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                                                   TSFDSCompressionStrategy CompressionStrategy);

    void Finish() override { InnerStream().Finish(); }
};

class TSFDSBZip2Decompressor : public TSFDSForwardingStream<TSFDSDecompressor, TBZSFDSDecompressionStream> {
public:
    // Takes ownership of SourceStream: one stored item's compressed bytes from
    // its position 0 to its end.
    TSFDSBZip2Decompressor(std::unique_ptr<TStream> SourceStream, std::int64_t SourceStreamSize);
    static std::unique_ptr<TSFDSDecompressor> Create(std::unique_ptr<TStream> SourceStream,
                                                     std::int64_t SourceStreamSize);
};

// Registers format 2 with the registry; part of the library's start-up.
void SFDS_RegisterBZip2Format();
