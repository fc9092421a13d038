// Codec plug-in base classes and the process-wide registry of compression
// formats. The container knows codecs only through this registry: each format
// ID maps to a name and two class references that construct its streams.
//
// Threads: the registry is not locked. It is created, filled and destroyed on
// the thread that starts the library, while no other thread uses it; in
// between, look-ups only read it and may run on any number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/PointerList.h"
#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

// A stream that compresses what is written to it into a destination stream it
// does not own.
class TSFDSCompressor : public TStream {
public:
    // Completes the compressed data in the destination and raises what that
    // raises. Destroying the compressor finishes too, but a destructor cannot
    // report a failed write, so writers that must know call this first.
    virtual void Finish() {}
};

// A stream that yields the decompressed bytes of one stored item. It owns the
// source it reads from (the item's compressed bytes, from position 0 to end).
class TSFDSDecompressor : public TStream {};

// Class references: each stands for one concrete class and constructs it.
// A decompressor takes ownership of SourceStream; a null source raises
// ESFDSNilSourceStream "Error: SourceStream is NIL.".
using TSFDSCompressorClass = std::unique_ptr<TSFDSCompressor> (*)(TStream* SourceStream,
                                                                  TSFDSCompressionLevel CompressionLevel,
                                                                  TSFDSCompressionStrategy CompressionStrategy);
using TSFDSDecompressorClass = std::unique_ptr<TSFDSDecompressor> (*)(std::unique_ptr<TStream> SourceStream,
                                                                      std::int64_t SourceStreamSize);

struct SFDS_CompressionFormatItem {
    std::string FormatName;
    std::uint8_t FormatID = 0;
    TSFDSCompressorClass Compressor = nullptr;
    TSFDSDecompressorClass Decompressor = nullptr;
};
using PSFDS_CompressionFormatItem = const SFDS_CompressionFormatItem*;

class TSFDSCompressionFormatsList : public TOwningList<SFDS_CompressionFormatItem> {
public:
    // Appends a copy of Entry; no duplicate check. Returns its index.
    std::int32_t RegisterFormat(const SFDS_CompressionFormatItem& Entry);
    // First item in registration order with that ID, or null.
    PSFDS_CompressionFormatItem FindFormat(std::uint8_t ID) const;
    // Index of the first item whose name equals FormatName with ASCII case
    // ignored (whole names only), or -1.
    std::int32_t FormatIndex(const std::string& FormatName) const;
};

// The process-wide registry; null before start-up and after shut-down.
TSFDSCompressionFormatsList* SFDS_CompressionFormatList();

// Creates the registry if it does not exist yet, then registers the format.
std::int32_t SFDS_RegisterCompressionFormat(const std::string& FormatName, std::uint8_t FormatID,
                                            TSFDSCompressorClass Compressor, TSFDSDecompressorClass Decompressor);
// FindFormat on the registry, or null when there is no registry.
PSFDS_CompressionFormatItem SFDS_FindCompressionFormat(std::uint8_t ID);

// Library start-up and shut-down of the registry itself (the reader list's
// start-up and shut-down wrap these, see sfds_library.h).
void SFDS_CreateCompressionFormatList();
void SFDS_DestroyCompressionFormatList();
