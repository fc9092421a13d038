#include "codecs/sfds_compressorzlib.h"

#include <algorithm>

#include "sfds/sfds_consts.h"

// ---- TZEntryCompressionStream ------------------------------------------------

namespace {

// The memory a whole-entry compression used on this thread: the entry held
// and its compressed form. The next entry compressed here writes into it
// instead of fresh pages, which cost more than deflating them on some
// machines; pack compresses entry after entry on the same threads. What is
// kept is at most what the largest whole entry needed.
struct TWholeEntryMemory {
    std::string Held;
    std::string Packed;
};
thread_local TWholeEntryMemory KeptMemory;

}  // namespace

TZEntryCompressionStream::TZEntryCompressionStream(TStream& Dest, TZCompressionLevel Level, TZStrategy Strategy)
    : FDest(Dest),
      FDestPos(Dest.Position()),
      FLevel(Level),
      FStrategy(Strategy),
      FHolding(ZDefaultEngine() == TZEngine::Fast && Strategy == zsDefault && ZLibLevel(Level) != 0) {
    if (!FHolding) {
        FStreaming = std::make_unique<TZCompressionStream>(Dest, Level, 15, 8, Strategy);
        return;
    }
    FHeld = std::move(KeptMemory.Held);
    FHeld.clear();
}

TZEntryCompressionStream::~TZEntryCompressionStream() {
    try {
        Finish();
    } catch (...) {
        // Nothing may leave a destructor; Finish reports to callers that ask.
    }
}

std::int32_t TZEntryCompressionStream::Read(void*, std::int32_t) { throw EZCompressionError(SZInvalidOperation); }

void TZEntryCompressionStream::StartStreaming() {
    if (FDest.Position() != FDestPos) FDest.SetPosition(FDestPos);
    FStreaming = std::make_unique<TZCompressionStream>(FDest, FLevel, 15, 8, FStrategy);
    FHolding = false;
    std::string Held = std::move(FHeld);
    FHeld = std::string();
    for (std::size_t At = 0; At < Held.size(); At += CodecBufferSize * 16) {
        const std::size_t N = std::min<std::size_t>(CodecBufferSize * 16, Held.size() - At);
        FStreaming->WriteBuffer(Held.data() + At, static_cast<std::int32_t>(N));
    }
    Held.clear();
    KeptMemory.Held = std::move(Held);
}

std::int32_t TZEntryCompressionStream::Write(const void* Buffer, std::int32_t Count) {
    if (Count < 0) Count = 0;
    if (FHolding && static_cast<std::int64_t>(FHeld.size()) + Count > ZWholeEntryLimit) StartStreaming();
    if (FHolding) {
        FHeld.append(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count));
    } else {
        FStreaming->WriteBuffer(Buffer, Count);
    }
    FTotalIn += Count;
    return Count;
}

std::int64_t TZEntryCompressionStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (Offset == 0 && Origin == soCurrent) return FTotalIn;
    throw EZCompressionError(SZInvalidOperation);
}

void TZEntryCompressionStream::Finish() {
    if (FFinished) return;
    FFinished = true;
    if (!FHolding) {
        FStreaming->Finish();
        return;
    }
    const int Level = ZLibLevel(FLevel) < 0 ? 6 : ZLibLevel(FLevel);
    std::string Packed = std::move(KeptMemory.Packed);
    ZFastDeflate(FHeld, Level, Packed);
    FHeld.clear();
    KeptMemory.Held = std::move(FHeld);
    if (FDest.Position() != FDestPos) FDest.SetPosition(FDestPos);
    for (std::size_t At = 0; At < Packed.size(); At += CodecBufferSize * 16) {
        const std::size_t N = std::min<std::size_t>(CodecBufferSize * 16, Packed.size() - At);
        FDest.WriteBuffer(Packed.data() + At, static_cast<std::int32_t>(N));
    }
    Packed.clear();
    KeptMemory.Packed = std::move(Packed);
}

// ---- Plug-ins ----------------------------------------------------------------

TZCompressionLevel SFDS_ZLibCompressionLevel(TSFDSCompressionLevel Level) {
    switch (Level) {
        case clFastest: return zcFastest;
        case clMax: return zcMax;
        default: return zcDefault;
    }
}

TZStrategy SFDS_ZLibStrategy(TSFDSCompressionStrategy Strategy) {
    switch (Strategy) {
        case csFiltered: return zsFiltered;
        case csHuffman: return zsHuffman;
        case csRLE: return zsRLE;
        case csFixed: return zsFixed;
        default: return zsDefault;
    }
}

TSFDSZLibCompressor::TSFDSZLibCompressor(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                                         TSFDSCompressionStrategy CompressionStrategy)
    : TSFDSForwardingCompressor(std::make_unique<TZEntryCompressionStream>(
          RequireSource(SourceStream), SFDS_ZLibCompressionLevel(CompressionLevel),
          SFDS_ZLibStrategy(CompressionStrategy))) {}

void SFDS_RegisterZLibFormat() {
    SFDS_RegisterCompressionFormat(SFDS_ZLibFormatName, SFDS_ZLibFormatID, &TSFDSZLibCompressor::Create,
                                   &TSFDSZLibDecompressor::Create);
}
