#include "codecs/sfds_compressorzlib.h"

#include <algorithm>

#include "codecs/sfds_keptpool.h"

#include "sfds/sfds_consts.h"

// ---- TZEntryCompressionStream ------------------------------------------------

namespace {

// The memory of whole-entry compressions: the entry held and its compressed
// form. The next entry writes into memory kept from an earlier one instead of
// fresh pages, which cost more than deflating them on some machines; pack
// compresses entry after entry. As many as threads compress at once are
// kept, each at most what the largest whole entry needed.
TKeptPool<std::unique_ptr<TZWholeEntryMemory>>& KeptMemory() {
    static TKeptPool<std::unique_ptr<TZWholeEntryMemory>> Pool;
    return Pool;
}

}  // namespace

TZEntryCompressionStream::TZEntryCompressionStream(TStream& Dest, TZCompressionLevel Level, TZStrategy Strategy)
    : FDest(Dest),
      FDestPos(Dest.Position()),
      FLevel(Level),
      FStrategy(Strategy),
      FHolding(ZDefaultEngine() == TZEngine::Fast && ZFastDeflateAvailable() && Strategy == zsDefault &&
               ZLibLevel(Level) != 0) {
    if (!FHolding) {
        FStreaming = std::make_unique<TZCompressionStream>(Dest, Level, 15, 8, Strategy);
        return;
    }
    FMemory = KeptMemory().Take();
    if (!FMemory) FMemory = std::make_unique<TZWholeEntryMemory>();
    FMemory->Held.clear();
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
    std::unique_ptr<TZWholeEntryMemory> Memory = std::move(FMemory);
    const std::string& Held = Memory->Held;
    for (std::size_t At = 0; At < Held.size(); At += CodecBufferSize * 16) {
        const std::size_t N = std::min<std::size_t>(CodecBufferSize * 16, Held.size() - At);
        FStreaming->WriteBuffer(Held.data() + At, static_cast<std::int32_t>(N));
    }
    Memory->Held.clear();
    KeptMemory().Give(std::move(Memory));
}

std::int32_t TZEntryCompressionStream::Write(const void* Buffer, std::int32_t Count) {
    if (FFinished) throw EZCompressionError(SZInvalidOperation);  // the stream is complete
    if (Count < 0) Count = 0;
    if (FHolding && static_cast<std::int64_t>(FMemory->Held.size()) + Count > ZWholeEntryLimit) StartStreaming();
    if (FHolding) {
        FMemory->Held.append(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count));
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
    FHolding = false;
    std::unique_ptr<TZWholeEntryMemory> Memory = std::move(FMemory);
    ZFastDeflate(Memory->Held, Level, Memory->Packed);
    Memory->Held.clear();
    const std::string& Packed = Memory->Packed;
    if (FDest.Position() != FDestPos) FDest.SetPosition(FDestPos);
    for (std::size_t At = 0; At < Packed.size(); At += CodecBufferSize * 16) {
        const std::size_t N = std::min<std::size_t>(CodecBufferSize * 16, Packed.size() - At);
        FDest.WriteBuffer(Packed.data() + At, static_cast<std::int32_t>(N));
    }
    Memory->Packed.clear();
    KeptMemory().Give(std::move(Memory));
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
