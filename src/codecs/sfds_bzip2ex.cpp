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

std::int64_t TCustomBZip2Stream::TotalIn() const { return Join(FBZRec.total_in_lo32, FBZRec.total_in_hi32); }

std::int64_t TCustomBZip2Stream::TotalOut() const { return Join(FBZRec.total_out_lo32, FBZRec.total_out_hi32); }

// ---- TBZCompressionStream ----------------------------------------------------

TBZCompressionStream::TBZCompressionStream(TBlockSize100k BlockSize100k, TStream& Dest) : TCustomBZip2Stream(Dest) {
    FBZRec.next_out = reinterpret_cast<char*>(FBuffer);
    FBZRec.avail_out = CodecBufferSize;
    BZCompressCheck(BZ2_bzCompressInit(&FBZRec, static_cast<int>(BlockSize100k), 0, 0));
}

TBZCompressionStream::~TBZCompressionStream() {
    try {
        Finish();
    } catch (...) {
        // Nothing may leave a destructor; Finish reports to callers that ask.
    }
    BZ2_bzCompressEnd(&FBZRec);
}

void TBZCompressionStream::FlushBuffer() {
    FStream->WriteBuffer(FBuffer, static_cast<std::int32_t>(CodecBufferSize - FBZRec.avail_out));
    FBZRec.next_out = reinterpret_cast<char*>(FBuffer);
    FBZRec.avail_out = CodecBufferSize;
}

std::int32_t TBZCompressionStream::Read(void*, std::int32_t) { throw EBZCompressionError(SBZInvalidOperation); }

std::int32_t TBZCompressionStream::Write(const void* Buffer, std::int32_t Count) {
    if (Count < 0) Count = 0;
    FBZRec.next_in = static_cast<char*>(const_cast<void*>(Buffer));
    FBZRec.avail_in = static_cast<unsigned int>(Count);
    Reposition();
    while (FBZRec.avail_in > 0) {
        BZCompressCheck(BZ2_bzCompress(&FBZRec, BZ_RUN));
        if (FBZRec.avail_out == 0) {
            FlushBuffer();
            FStreamPos = FStream->Position();
        }
        DoProgress();
    }
    return Count;
}

void TBZCompressionStream::Finish() {
    if (FFinished) return;
    FFinished = true;
    FBZRec.next_in = nullptr;
    FBZRec.avail_in = 0;
    Reposition();
    // The library answers "finish OK" only with a full output buffer.
    while (BZCompressCheck(BZ2_bzCompress(&FBZRec, BZ_FINISH)) != BZ_STREAM_END && FBZRec.avail_out == 0)
        FlushBuffer();
    if (FBZRec.avail_out < static_cast<unsigned int>(CodecBufferSize)) FlushBuffer();
}

std::int64_t TBZCompressionStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (Offset == 0 && Origin == soCurrent) return TotalIn();
    throw EBZCompressionError(SBZInvalidOperation);
}

float TBZCompressionStream::CompressionRate() const {
    const std::int64_t In = TotalIn();
    if (In == 0) return 0.0f;
    return static_cast<float>((1.0 - static_cast<double>(TotalOut()) / static_cast<double>(In)) * 100.0);
}

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
