// Stream adapters over zlib: a sink that deflates what is written to it into a
// destination stream, and a source that inflates an underlying stream while it
// is read. They carry the container's compression format 1 (zlib-wrapped
// deflate, window bits 15).
//
// Positions and byte totals are 64-bit: an item of 2 GiB or more decompresses,
// seeks and reports its position correctly.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "codecs/sfds_codecstream.h"
#include "codecs/sfds_compressionloop.h"
#include "codecs/sfds_decompressionloop.h"
#include "codecs/sfds_zengine.h"
#include "runtime/Exceptions.h"
#include "runtime/Stream.h"

enum TZCompressionLevel {
    zcNone,
    zcFastest,
    zcDefault,
    zcMax,
    zcLevel1,
    zcLevel2,
    zcLevel3,
    zcLevel4,
    zcLevel5,
    zcLevel6,
    zcLevel7,
    zcLevel8,
    zcLevel9
};

enum TZStrategy { zsDefault, zsFiltered, zsHuffman, zsRLE, zsFixed };

// The zlib level and strategy each value stands for.
int ZLibLevel(TZCompressionLevel Level);
int ZLibStrategy(TZStrategy Strategy);

inline constexpr const char* SZInvalidOperation = "Invalid ZStream operation!";
inline constexpr const char* SZFileError = "file error";
inline constexpr const char* SZStreamError = "stream error";
inline constexpr const char* SZDataError = "data error";
inline constexpr const char* SZMemoryError = "insufficient memory";
inline constexpr const char* SZBufferError = "buffer error";
inline constexpr const char* SZVersionError = "incompatible version";
// A stream that needs a preset dictionary: the adapters have none to give.
inline constexpr const char* SZNeedDictionary = "need dictionary";
inline constexpr const char* SZUnknownError = "zlib error %d";

// Carries zlib's result code; 0 when raised for a refused operation.
class EZLibError : public Exception {
public:
    explicit EZLibError(std::int32_t Code);
    explicit EZLibError(std::string Msg) : Exception(std::move(Msg)) {}
    std::int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    std::int32_t FErrorCode = 0;
};
RTL_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
RTL_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

// Raise the matching error for a negative zlib result, else return it.
int ZCompressCheck(int Code);
int ZDecompressCheck(int Code);

// The zlib adapters' common class: the library's stream record.
class TCustomZStream : public TCustomCodecStream {
protected:
    using TCustomCodecStream::TCustomCodecStream;

    z_stream& CodecState() { return FZStream; }

    z_stream FZStream{};
};

// The zlib calls behind TZCompressionStream (sfds_compressionloop.h).
struct TZDeflatePolicy {
    static constexpr bool ProgressEachCall = false;
    static void Start(z_stream& Z, int Level, std::int32_t WindowBits, std::int32_t MemLevel, int Strategy);
    static bool Compress(z_stream& Z, bool Finishing);
    static void End(z_stream& Z) { deflateEnd(&Z); }
    [[noreturn]] static void InvalidOperation();
};

// Read, Write, Seek, Finish, CompressionRate and the destructor are the
// shared compression loop's: Read and every seek but Seek(0, soCurrent) raise
// "Invalid ZStream operation!"; progress is reported after each block handed
// to the destination.
class TZCompressionStream : public TCompressionLoop<TCustomZStream, TZDeflatePolicy> {
public:
    TZCompressionStream(TStream& Dest, TZCompressionLevel CompressionLevel = zcDefault, std::int32_t WindowBits = 15,
                        std::int32_t MemLevel = 8, TZStrategy Strategy = zsDefault)
        : TCompressionLoop(Dest, ZLibLevel(CompressionLevel), WindowBits, MemLevel, ZLibStrategy(Strategy)) {}
};

// With the fast engine (ZDefaultEngine() at construction), a zlib-wrapped
// stream (window bits 15) whose header asks for the 32 KiB window and no
// preset dictionary is decoded by the fast inflater; every other stream, and
// every stream under the zlib engine, by zlib. Output, errors, give-back and
// seeks are the same either way. Hint (sfds_zengine.h) only helps the fast
// inflater size its memory and pick its way.
//
// Read, Write and Seek are the shared decompression loop's: Write raises
// "Invalid ZStream operation!"; Seek restarts at position 0 from the
// beginning, reaches forward targets by inflating and discarding, inflates to
// the end for Seek(0, soEnd) and raises "Invalid ZStream operation!" for
// every other target.
class TZDecompressionStream : public TDecompressionLoop<TZDecompressionStream, TCustomZStream> {
public:
    explicit TZDecompressionStream(TStream& Source, std::int32_t WindowBits = 15, TZSizeHint Hint = {});
    ~TZDecompressionStream() override;

private:
    friend class TDecompressionLoop<TZDecompressionStream, TCustomZStream>;
    enum TRoute : std::uint8_t { rtHeader, rtZLib, rtFast };

    TDecompressionStep Step(bool SourceEnded);
    // The fast inflater may still hold decoded bytes when the source ends.
    bool HoldsOutput() const { return FRoute == rtFast; }
    void RestartCodec();
    std::int64_t Produced() const { return FTotalOut; }
    [[noreturn]] void InvalidOperation() const;
    // After the end each read looks at what follows again and gives it back.
    static constexpr bool KeepsEnd = false;

    // One step of whichever inflater decodes this stream; zlib's result codes.
    int InflateStep(bool SourceEnded);
    void SwitchToZLib();

    std::int64_t FTotalOut = 0;  // bytes produced since the last restart
    std::unique_ptr<TZFastInflater> FFast;  // null: zlib decodes everything
    TRoute FRoute = rtZLib;
    // The zlib header's bytes, held until both are here to pick the route.
    unsigned char FHeader[2] = {};
    std::uint8_t FHeaderLength = 0;
    std::int64_t FOrigin;  // where the compressed data starts in the source
};
