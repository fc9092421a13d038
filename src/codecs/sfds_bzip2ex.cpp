#include "codecs/sfds_bzip2ex.h"

#include <cstdlib>

#include "runtime/Format.h"

extern "C" void bz_internal_error(int errcode) { throw EBZip2Error(Format(SBZInternalError, errcode)); }

namespace {

void* BZAlloc(void*, int Items, int Size) {
    if (Items <= 0 || Size <= 0) return nullptr;
    return std::malloc(static_cast<std::size_t>(Items) * static_cast<std::size_t>(Size));
}

void BZFree(void*, void* Block) { std::free(Block); }

std::int64_t Join(unsigned int Lo, unsigned int Hi) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(Hi) << 32) | Lo);
}

}  // namespace

int BZCompressCheck(int Code) {
    if (Code < 0) throw EBZCompressionError(Format(SBZError, Code));
    return Code;
}

int BZDecompressCheck(int Code) {
    if (Code < 0) throw EBZDecompressionError(Format(SBZError, Code));
    return Code;
}

// ---- TCustomBZip2Stream ------------------------------------------------------

TCustomBZip2Stream::TCustomBZip2Stream(TStream& Strm) : TCustomCodecStream(Strm) {
    FBZRec.bzalloc = BZAlloc;
    FBZRec.bzfree = BZFree;
}

std::int64_t TCustomBZip2Stream::TotalOut() const { return Join(FBZRec.total_out_lo32, FBZRec.total_out_hi32); }

// ---- TBZCompressionStream ----------------------------------------------------

void TBZCompressPolicy::Start(bz_stream& Z, TBlockSize100k BlockSize100k) {
    BZCompressCheck(BZ2_bzCompressInit(&Z, static_cast<int>(BlockSize100k), 0, 0));
}

bool TBZCompressPolicy::Compress(bz_stream& Z, bool Finishing) {
    return BZCompressCheck(BZ2_bzCompress(&Z, Finishing ? BZ_FINISH : BZ_RUN)) == BZ_STREAM_END;
}

void TBZCompressPolicy::InvalidOperation() { throw EBZCompressionError(SBZInvalidOperation); }

// ---- TBZDecompressionStream --------------------------------------------------

TBZDecompressionStream::TBZDecompressionStream(TStream& Source) : TDecompressionLoop(Source) {
    FBZRec.next_in = reinterpret_cast<char*>(FBuffer);
    FBZRec.avail_in = 0;
    BZDecompressCheck(BZ2_bzDecompressInit(&FBZRec, 0, 0));
}

TBZDecompressionStream::~TBZDecompressionStream() { BZ2_bzDecompressEnd(&FBZRec); }

TDecompressionStep TBZDecompressionStream::Step(bool) {
    return BZDecompressCheck(BZ2_bzDecompress(&FBZRec)) == BZ_STREAM_END ? TDecompressionStep::End
                                                                           : TDecompressionStep::GoOn;
}

void TBZDecompressionStream::InvalidOperation() const { throw EBZDecompressionError(SBZInvalidOperation); }

void TBZDecompressionStream::RestartCodec() {
    BZDecompressCheck(BZ2_bzDecompressEnd(&FBZRec));
    BZDecompressCheck(BZ2_bzDecompressInit(&FBZRec, 0, 0));
    FStream->SetPosition(0);
    FStreamPos = 0;
}
