// The fast engine's whole-entry inflater: libdeflate, which decodes a whole
// stream in one call. It holds the compressed bytes of a stream until its
// source ends, has zlib's rules judge all of them (libdeflate takes damaged
// data zlib refuses), decodes them at once and hands the result out. Streams
// of more than ZWholeEntryLimit bytes, streams that deflate shrank too little
// for it to pay, damaged or cut ones and those it cannot get the memory for
// are left to zlib, whose streaming inflate then gives its own verdict. The Windows build inflates with it; the Linux build
// has it for tests and fuzz targets.
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/sfds_deflatecheck.h"
#include "codecs/sfds_keptpool.h"
#include "codecs/sfds_zengine.h"

namespace {

// Compressed bytes held at most: a stored stream of ZWholeEntryLimit bytes
// takes 5 bytes more per 64 KiB block.
constexpr std::size_t InputLimit = ZWholeEntryLimit + ZWholeEntryLimit / 1024 + 1024;
// One byte of deflate data decodes to at most this many (two 1-bit codes
// give a 258-byte match).
constexpr std::size_t MaxExpansion = 1032;
constexpr std::size_t FirstCapacity = 64 << 10;
// The walk with zlib's rules takes about as long as libdeflate's decoding,
// and holding the entry costs copies: together they pay only for data that
// deflate shrank well, mostly to matches (libdeflate then decodes several
// times as fast as zlib). A stream whose compressed form is more than this
// share of its size (text of little repetition, pictures, noise) streams
// through zlib, which is faster there.
constexpr std::int64_t WorthNumerator = 2;
constexpr std::int64_t WorthDenominator = 5;
constexpr std::int64_t WorthSlack = 256;  // for the header and trailer of small streams

bool WorthHolding(std::int64_t Plain, std::int64_t Packed) {
    return Plain <= 0 || Packed < 0 || Packed * WorthDenominator <= Plain * WorthNumerator + WorthSlack * WorthDenominator;
}

struct TBuffer {
    std::unique_ptr<unsigned char[]> Data;
    std::size_t Capacity = 0;

    // Room for Size bytes, the first Keep of them kept; false without memory.
    bool Reserve(std::size_t Size, std::size_t Keep, std::size_t Most) {
        if (Size <= Capacity) return true;
        const std::size_t NewCapacity = std::min(std::max({Size, Capacity * 2, FirstCapacity}), std::max(Size, Most));
        try {
            auto Grown = std::make_unique_for_overwrite<unsigned char[]>(NewCapacity);
            if (Keep > 0) std::memcpy(Grown.get(), Data.get(), Keep);
            Data = std::move(Grown);
            Capacity = NewCapacity;
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
};

struct TWholeMemory {
    TBuffer In;
    TBuffer Out;
};

// Streams one after another reuse the memory and the decompressors of
// earlier ones instead of fresh ones, which cost more than decoding into
// them on some machines; test and extract inflate entry after entry. As many
// as threads inflate at once are kept, each at most what the largest whole
// entry needed (ZWholeEntryLimit and its compressed form).
TKeptPool<std::unique_ptr<TWholeMemory>>& KeptMemory() {
    static TKeptPool<std::unique_ptr<TWholeMemory>> Pool;
    return Pool;
}

struct TDecompressorFree {
    void operator()(libdeflate_decompressor* D) const { libdeflate_free_decompressor(D); }
};
using TDecompressor = std::unique_ptr<libdeflate_decompressor, TDecompressorFree>;

TKeptPool<TDecompressor>& KeptDecompressors() {
    static TKeptPool<TDecompressor> Pool;
    return Pool;
}

class TLibdeflateInflater final : public TZFastInflater {
public:
    explicit TLibdeflateInflater(TZSizeHint Hint) : FSizeHint(Hint.Plain) {}
    ~TLibdeflateInflater() override { GiveBackMemory(); }

    void Reset() override {
        FPhase = phCollect;
        FInSize = FOutSize = FServed = FTrailing = 0;
    }

    int Inflate(z_stream& Z, bool InputEnded) override {
        switch (FPhase) {
            case phCollect:
                if (!Collect(Z)) return Z_DATA_ERROR;
                if (!InputEnded) return Z_OK;
                if (!Decode()) return Z_DATA_ERROR;
                FPhase = phServe;
                [[fallthrough]];
            case phServe: {
                const std::size_t N = std::min<std::size_t>(Z.avail_out, FOutSize - FServed);
                if (N > 0) std::memcpy(Z.next_out, FMemory->Out.Data.get() + FServed, N);
                FServed += N;
                Z.next_out += N;
                Z.avail_out -= static_cast<uInt>(N);
                if (FServed < FOutSize) return Z_OK;
                FPhase = phDone;
                GiveBackMemory();
                Z.avail_in += static_cast<uInt>(FTrailing);
                return Z_STREAM_END;
            }
            case phDone: return Z_STREAM_END;
        }
        return Z_DATA_ERROR;
    }

private:
    enum TPhase : std::uint8_t { phCollect, phServe, phDone };

    // Takes all of Z's input; false when the stream is more than it holds,
    // or than a stream worth holding.
    bool Collect(z_stream& Z) {
        if (Z.avail_in == 0) return true;
        if (FInSize + Z.avail_in > InputLimit) return false;
        if (!WorthHolding(FSizeHint, static_cast<std::int64_t>(FInSize + Z.avail_in))) return false;
        if (!FMemory) FMemory = KeptMemory().Take();
        if (!FMemory) FMemory = std::make_unique<TWholeMemory>();
        if (!FMemory->In.Reserve(FInSize + Z.avail_in, FInSize, InputLimit)) return false;
        std::memcpy(FMemory->In.Data.get() + FInSize, Z.next_in, Z.avail_in);
        FInSize += Z.avail_in;
        Z.next_in += Z.avail_in;
        Z.avail_in = 0;
        return true;
    }

    // Judges and decodes what was collected; false leaves it to zlib.
    bool Decode() {
        if (!FMemory) return false;  // no input at all
        const unsigned char* const In = FMemory->In.Data.get();
        std::size_t End = 0;
        if (DeflateCheckStream(In, FInSize, End) != TDeflateVerdict::Accepted || FInSize - End < 4) return false;
        const std::size_t Most = std::min(static_cast<std::size_t>(ZWholeEntryLimit), End * MaxExpansion);
        std::size_t Capacity = FSizeHint > 0 ? static_cast<std::size_t>(FSizeHint) : FInSize * 4;
        Capacity = std::min(std::max(Capacity, FirstCapacity), Most);
        TDecompressor D = KeptDecompressors().Take();
        if (!D) D.reset(libdeflate_alloc_decompressor());
        if (!D) return false;
        std::size_t Used = 0;
        std::size_t Made = 0;
        libdeflate_result R = LIBDEFLATE_BAD_DATA;
        for (;;) {
            if (!FMemory->Out.Reserve(Capacity, 0, Most)) break;
            Capacity = FMemory->Out.Capacity;
            R = libdeflate_deflate_decompress_ex(D.get(), In, End, FMemory->Out.Data.get(), Capacity, &Used, &Made);
            // A size hint too small: a larger buffer, up to what the data can make.
            if (R != LIBDEFLATE_INSUFFICIENT_SPACE || Capacity >= Most) break;
            Capacity = std::min(Capacity * 2, Most);
        }
        KeptDecompressors().Give(std::move(D));
        if (R != LIBDEFLATE_SUCCESS || Used != End) return false;
        const std::uint32_t Expected = (std::uint32_t{In[End]} << 24) | (std::uint32_t{In[End + 1]} << 16) |
                                       (std::uint32_t{In[End + 2]} << 8) | In[End + 3];
        if (libdeflate_adler32(1, FMemory->Out.Data.get(), Made) != Expected) return false;
        FOutSize = Made;
        FTrailing = FInSize - End - 4;
        return true;
    }

    void GiveBackMemory() { KeptMemory().Give(std::move(FMemory)); }

    std::int64_t FSizeHint;
    TPhase FPhase = phCollect;
    std::unique_ptr<TWholeMemory> FMemory;  // while collecting and handing out
    std::size_t FInSize = 0;
    std::size_t FOutSize = 0;
    std::size_t FServed = 0;
    std::size_t FTrailing = 0;  // bytes after the trailer
};

}  // namespace

const char* ZWholeInflaterLibrary() { return "libdeflate inflate"; }

std::unique_ptr<TZFastInflater> ZNewWholeInflater(TZSizeHint Hint) {
    if (Hint.Plain > ZWholeEntryLimit || !WorthHolding(Hint.Plain, Hint.Packed)) return nullptr;
    return std::make_unique<TLibdeflateInflater>(Hint);
}
