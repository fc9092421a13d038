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
    std::int64_t TotalIn() const;
    std::int64_t TotalOut() const;

    bz_stream FBZRec{};
};

class TBZCompressionStream : public TCustomBZip2Stream {
public:
    TBZCompressionStream(TBlockSize100k BlockSize100k, TStream& Dest);
    // Finishes the compressed data unless Finish already did; a failure there
    // cannot leave a destructor, so callers that must know call Finish.
    ~TBZCompressionStream() override;

    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    // Only Seek(0, soCurrent) is answered: the number of bytes written so far.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    // Writes the last blocks and the end-of-stream marker into the
    // destination; raises what the destination or the library raises. Runs at
    // most once.
    void Finish();
    // Per cent of the size saved so far.
    float CompressionRate() const;

private:
    void FlushBuffer();

    bool FFinished = false;
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
