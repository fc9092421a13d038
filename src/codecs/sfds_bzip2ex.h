// Stream adapters over libbzip2: a sink that compresses what is written to it
// into a destination stream, and a source that decompresses an underlying
// stream while it is read. They carry the container's compression format 2.
//
// Positions and byte totals are 64-bit: an item of 2 GiB or more decompresses,
// seeks and reports its position correctly.
#pragma once

#include <bzlib.h>

#include <cstdint>

#include "codecs/sfds_codecstream.h"
#include "codecs/sfds_compressionloop.h"
#include "codecs/sfds_decompressionloop.h"
#include "runtime/Exceptions.h"
#include "runtime/Stream.h"

// bsN compresses in blocks of N x 100 000 bytes.
enum TBlockSize100k { bs1 = 1, bs2, bs3, bs4, bs5, bs6, bs7, bs8, bs9 };

inline constexpr const char* SBZInvalidOperation = "Invalid bzip2 stream operation";
inline constexpr const char* SBZError = "error %d";
inline constexpr const char* SBZInternalError = "Compression Error %d";

// The library's result code travels only inside the message.
RTL_DECLARE_EXCEPTION(EBZip2Error, Exception);
RTL_DECLARE_EXCEPTION(EBZCompressionError, EBZip2Error);
RTL_DECLARE_EXCEPTION(EBZDecompressionError, EBZip2Error);

// The library's hook for failed internal consistency tests: raises
// EBZip2Error "Compression Error %d". Only a library built without stdio calls
// it; the usual shared build reports such failures itself.
extern "C" void bz_internal_error(int errcode);

// Raise the matching error ("error %d") for a negative libbzip2 result, else
// return it.
int BZCompressCheck(int Code);
int BZDecompressCheck(int Code);

// The bzip2 adapters' common class: the library's stream record, with the
// adapter's allocation callbacks installed.
class TCustomBZip2Stream : public TCustomCodecStream {
protected:
    explicit TCustomBZip2Stream(TStream& Strm);

    bz_stream& CodecState() { return FBZRec; }
    std::int64_t TotalOut() const;

    bz_stream FBZRec{};
};

// The libbzip2 calls behind TBZCompressionStream (sfds_compressionloop.h).
struct TBZCompressPolicy {
    static constexpr bool ProgressEachCall = true;
    static void Start(bz_stream& Z, TBlockSize100k BlockSize100k);
    static bool Compress(bz_stream& Z, bool Finishing);
    static void End(bz_stream& Z) { BZ2_bzCompressEnd(&Z); }
    [[noreturn]] static void InvalidOperation();
};

// Read, Write, Seek, Finish, CompressionRate and the destructor are the
// shared compression loop's: Read and every seek but Seek(0, soCurrent) raise
// "Invalid bzip2 stream operation"; progress is reported after every library
// call made while writing, whether or not it filled a block. Finishing writes
// the last blocks and the end-of-stream marker.
class TBZCompressionStream : public TCompressionLoop<TCustomBZip2Stream, TBZCompressPolicy> {
public:
    TBZCompressionStream(TBlockSize100k BlockSize100k, TStream& Dest) : TCompressionLoop(Dest, BlockSize100k) {}
};

// Read, Write and Seek are the shared decompression loop's: Write raises
// "Invalid bzip2 stream operation"; Seek restarts at position 0 from the
// beginning, reaches forward targets by decompressing and discarding,
// decompresses to the end for Seek(0, soEnd) and raises "Invalid bzip2 stream
// operation" for every other target. Once the end-of-stream marker is read,
// later reads return 0 and leave alone whatever follows the compressed data.
class TBZDecompressionStream : public TDecompressionLoop<TBZDecompressionStream, TCustomBZip2Stream> {
public:
    explicit TBZDecompressionStream(TStream& Source);
    ~TBZDecompressionStream() override;

private:
    friend class TDecompressionLoop<TBZDecompressionStream, TCustomBZip2Stream>;

    TDecompressionStep Step(bool SourceEnded);
    bool HoldsOutput() const { return false; }
    void RestartCodec();
    std::int64_t Produced() const { return TotalOut(); }
    [[noreturn]] void InvalidOperation() const;
    // The library would refuse bytes after the end as a call out of sequence.
    static constexpr bool KeepsEnd = true;
};
