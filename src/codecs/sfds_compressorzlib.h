// Compression format 1 ("ZLib (Deflate)") as a codec plug-in: the compressor
// and decompressor classes the registry hands out, and the decompression
// stream an opened entry reads through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codecs/sfds_entrydecompression.h"
#include "codecs/sfds_forwardingstream.h"
#include "codecs/sfds_zlibex.h"
#include "sfds/sfds_formats.h"

inline constexpr const char* SFDS_ZLibFormatName = "ZLib (Deflate)";
inline constexpr std::uint8_t SFDS_ZLibFormatID = 1;

// An entry's decompressed bytes through zlib (sfds_entrydecompression.h).
class TZSFDSDecompressionStream : public TSFDSEntryDecompressionStream<TZDecompressionStream> {
public:
    TZSFDSDecompressionStream(std::unique_ptr<TStream> Source, std::int64_t UnpSize)
        : TZSFDSDecompressionStream(std::move(Source), 15, UnpSize) {}
    TZSFDSDecompressionStream(std::unique_ptr<TStream> Source, std::int32_t WindowBits, std::int64_t UnpSize)
        : TZSFDSDecompressionStream(std::move(Source), WindowBits, UnpSize, SizeOf(Source.get())) {}

private:
    // The fast inflater's hint: UnpSize, and the size of the source (a
    // window onto the entry's stored bytes), which costs nothing to ask.
    // Source is moved from only in the base's constructor, after its size
    // was taken.
    TZSFDSDecompressionStream(std::unique_ptr<TStream>&& Source, std::int32_t WindowBits, std::int64_t UnpSize,
                              std::int64_t PackedSize)
        : TSFDSEntryDecompressionStream(std::move(Source), UnpSize, WindowBits, TZSizeHint{UnpSize, PackedSize}) {}
    static std::int64_t SizeOf(TStream* Source) { return Source != nullptr ? Source->Size() : -1; }
};

// What the format-1 compressor writes through. With the fast engine
// (ZDefaultEngine() at construction), the default strategy and a level above
// zcNone, the bytes are held until Finish and deflated in one call; from the
// write that would pass ZWholeEntryLimit on, and for every other combination,
// they stream through a TZCompressionStream. Either way the destination
// receives one zlib stream (window bits 15) at the same zlib level.
// The memory of a whole entry held (the entry and its compressed form, at
// most ZWholeEntryLimit and its deflate bound) is kept afterwards for the
// next entry, by as many as threads run at once, until the process ends.
struct TZWholeEntryMemory {
    std::string Held;
    std::string Packed;
};

class TZEntryCompressionStream : public TStream {
public:
    TZEntryCompressionStream(TStream& Dest, TZCompressionLevel Level, TZStrategy Strategy);
    // Finishes unless Finish already did; a failure there cannot leave a
    // destructor, so callers that must know call Finish.
    ~TZEntryCompressionStream() override;

    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // Raises EZCompressionError once Finish has run: the stream is complete.
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    // Only Seek(0, soCurrent) is answered: the number of bytes written so far.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    // Writes the compressed data (all of it, when held) into the destination;
    // raises what the destination or the deflater raises. Runs at most once.
    void Finish();
    // Whether the bytes are still held for the whole-buffer deflater (no
    // longer once Finish has run).
    bool Holding() const { return FHolding; }

private:
    void StartStreaming();

    TStream& FDest;  // not owned
    std::int64_t FDestPos;
    TZCompressionLevel FLevel;
    TZStrategy FStrategy;
    bool FHolding;
    bool FFinished = false;
    std::unique_ptr<TZWholeEntryMemory> FMemory;  // while holding
    std::unique_ptr<TZCompressionStream> FStreaming;
    std::int64_t FTotalIn = 0;
};

TZCompressionLevel SFDS_ZLibCompressionLevel(TSFDSCompressionLevel Level);
TZStrategy SFDS_ZLibStrategy(TSFDSCompressionStrategy Strategy);

class TSFDSZLibCompressor : public TSFDSForwardingCompressor<TSFDSZLibCompressor, TZEntryCompressionStream> {
public:
    // Deflates into SourceStream, window bits 15, memory level 8.
    TSFDSZLibCompressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                        TSFDSCompressionStrategy CompressionStrategy);
};

using TSFDSZLibDecompressor = TSFDSForwardingDecompressor<TZSFDSDecompressionStream>;

// Registers format 1 with the registry; part of the library's start-up.
void SFDS_RegisterZLibFormat();
