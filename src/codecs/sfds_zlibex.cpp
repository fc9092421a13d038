#include "codecs/sfds_zlibex.h"

#include <algorithm>

#include "runtime/Format.h"

namespace {

const char* ZLibMessage(int Code) {
    switch (Code) {
        case Z_ERRNO: return SZFileError;
        case Z_STREAM_ERROR: return SZStreamError;
        case Z_DATA_ERROR: return SZDataError;
        case Z_MEM_ERROR: return SZMemoryError;
        case Z_BUF_ERROR: return SZBufferError;
        case Z_VERSION_ERROR: return SZVersionError;
        case Z_NEED_DICT: return SZNeedDictionary;
        default: return nullptr;
    }
}

std::string ZLibErrorText(std::int32_t Code) {
    const char* Msg = ZLibMessage(Code);
    return Msg ? std::string(Msg) : Format(SZUnknownError, Code);
}

}  // namespace

EZLibError::EZLibError(std::int32_t Code) : Exception(ZLibErrorText(Code)), FErrorCode(Code) {}

int ZLibLevel(TZCompressionLevel Level) {
    switch (Level) {
        case zcNone: return 0;
        case zcFastest: return 1;
        case zcDefault: return Z_DEFAULT_COMPRESSION;
        case zcMax: return 9;
        default:
            if (Level >= zcLevel1 && Level <= zcLevel9) return 1 + (Level - zcLevel1);
            return Z_DEFAULT_COMPRESSION;
    }
}

int ZLibStrategy(TZStrategy Strategy) {
    switch (Strategy) {
        case zsFiltered: return Z_FILTERED;
        case zsHuffman: return Z_HUFFMAN_ONLY;
        case zsRLE: return Z_RLE;
        case zsFixed: return Z_FIXED;
        default: return Z_DEFAULT_STRATEGY;
    }
}

int ZCompressCheck(int Code) {
    if (Code < 0) throw EZCompressionError(static_cast<std::int32_t>(Code));
    return Code;
}

int ZDecompressCheck(int Code) {
    if (Code < 0) throw EZDecompressionError(static_cast<std::int32_t>(Code));
    return Code;
}

// ---- TZCompressionStream -----------------------------------------------------

void TZDeflatePolicy::Start(z_stream& Z, int Level, std::int32_t WindowBits, std::int32_t MemLevel, int Strategy) {
    ZCompressCheck(deflateInit2(&Z, Level, Z_DEFLATED, WindowBits, MemLevel, Strategy));
}

bool TZDeflatePolicy::Compress(z_stream& Z, bool Finishing) {
    return ZCompressCheck(deflate(&Z, Finishing ? Z_FINISH : Z_NO_FLUSH)) == Z_STREAM_END;
}

void TZDeflatePolicy::InvalidOperation() { throw EZCompressionError(SZInvalidOperation); }

// ---- TZDecompressionStream ---------------------------------------------------

TZDecompressionStream::TZDecompressionStream(TStream& Source, std::int32_t WindowBits, TZSizeHint Hint)
    : TDecompressionLoop(Source), FOrigin(FStreamPos) {
    FZStream.next_in = FBuffer;
    FZStream.avail_in = 0;
    ZDecompressCheck(inflateInit2(&FZStream, WindowBits));
    if (WindowBits == 15 && ZDefaultEngine() == TZEngine::Fast) {
        FFast = ZNewFastInflater(Hint);
        if (FFast) FRoute = rtHeader;
    }
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZStream); }

namespace {

// Deflate, a 32 KiB window, no preset dictionary, a valid header check.
bool PlainZLibHeader(const unsigned char (&H)[2]) {
    return H[0] == 0x78 && (H[1] & 0x20) == 0 && ((H[0] << 8) | H[1]) % 31 == 0;
}

}  // namespace

int TZDecompressionStream::InflateStep(bool SourceEnded) {
    if (FRoute == rtHeader) {
        while (FHeaderLength < 2 && FZStream.avail_in > 0) {
            FHeader[FHeaderLength++] = *FZStream.next_in++;
            --FZStream.avail_in;
        }
        if (FHeaderLength < 2) return Z_OK;
        if (PlainZLibHeader(FHeader)) {
            FRoute = rtFast;
        } else {
            // zlib judges every other header itself, from the same bytes.
            FRoute = rtZLib;
            Bytef* const NextIn = FZStream.next_in;
            const uInt AvailIn = FZStream.avail_in;
            FZStream.next_in = FHeader;
            FZStream.avail_in = 2;
            const int R = inflate(&FZStream, Z_NO_FLUSH);
            FZStream.next_in = NextIn;
            FZStream.avail_in = AvailIn;
            return R;
        }
    }
    if (FRoute == rtFast) {
        Bytef* const NextOut = FZStream.next_out;
        const uInt AvailOut = FZStream.avail_out;
        const int R = FFast->Inflate(FZStream, SourceEnded);
        if (R >= 0) return R;
        // Nothing of the failed step reaches the caller: zlib decides.
        FZStream.next_out = NextOut;
        FZStream.avail_out = AvailOut;
        SwitchToZLib();
        if (FZStream.avail_in == 0) return Z_OK;
    }
    return inflate(&FZStream, Z_NO_FLUSH);
}

TDecompressionStep TZDecompressionStream::Step(bool SourceEnded) {
    const uInt Before = FZStream.avail_out;
    const bool WasFast = FRoute == rtFast;
    const int R = ZDecompressCheck(InflateStep(SourceEnded));
    FTotalOut += Before - FZStream.avail_out;
    // Without a dictionary zlib would answer the same forever.
    if (R == Z_NEED_DICT) throw EZDecompressionError(static_cast<std::int32_t>(Z_NEED_DICT));
    if (R == Z_STREAM_END) return TDecompressionStep::End;
    if (SourceEnded && FZStream.avail_out == Before) {
        // zlib has just taken over: it reads the source again from the start.
        if (WasFast && FRoute != rtFast) return TDecompressionStep::GoOn;
        if (FRoute != rtFast) return TDecompressionStep::Stop;
        SwitchToZLib();  // cut data: zlib hands out the rest, or fails
    }
    return TDecompressionStep::GoOn;
}

void TZDecompressionStream::InvalidOperation() const { throw EZDecompressionError(SZInvalidOperation); }

// The fast inflater and zlib give the same bytes for every stream zlib reads
// to its end, but may part ways on damaged data: the fast one waits for more
// input where zlib already sees an error in what is there, or the other way
// round. So whenever the fast inflater reports an error, leaves the stream to
// zlib or runs out of input, zlib takes over: it decodes the stream again
// from its start, drops the bytes already handed out and goes on from there,
// so that damaged streams end or fail exactly as under zlib. Costs one more
// pass, for damaged data (and the rare stream the fast inflater leaves to
// zlib) only.
void TZDecompressionStream::SwitchToZLib() {
    FRoute = rtZLib;
    ZDecompressCheck(inflateReset(&FZStream));
    FStream->SetPosition(FOrigin);
    FStreamPos = FOrigin;
    FZStream.next_in = FBuffer;
    FZStream.avail_in = 0;
    unsigned char Scratch[SkipPieceSize];
    Bytef* const NextOut = FZStream.next_out;
    const uInt AvailOut = FZStream.avail_out;
    std::int64_t Left = FTotalOut;
    int R = Z_OK;
    while (Left > 0 && R == Z_OK) {
        if (FZStream.avail_in == 0) {
            const std::int32_t Got = FStream->Read(FBuffer, CodecBufferSize);
            if (Got <= 0) break;
            FZStream.next_in = FBuffer;
            FZStream.avail_in = static_cast<uInt>(Got);
            FStreamPos = FStream->Position();
        }
        FZStream.next_out = Scratch;
        FZStream.avail_out = static_cast<uInt>(std::min<std::int64_t>(Left, SkipPieceSize));
        const uInt Before = FZStream.avail_out;
        R = ZDecompressCheck(inflate(&FZStream, Z_NO_FLUSH));
        Left -= Before - FZStream.avail_out;
    }
    FZStream.next_out = NextOut;
    FZStream.avail_out = AvailOut;
}

void TZDecompressionStream::RestartCodec() {
    ZDecompressCheck(inflateReset(&FZStream));
    if (FFast) {
        FFast->Reset();
        FRoute = rtHeader;
        FHeaderLength = 0;
    }
    FTotalOut = 0;
    FStream->SetPosition(0);
    FStreamPos = 0;
    FOrigin = 0;
}
