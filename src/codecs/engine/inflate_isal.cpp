// The fast engine's streaming inflater: ISA-L. The zlib adapter hands it the
// stream after its two header bytes; it decodes the deflate data and checks
// the Adler-32 trailer that follows it.
//
// ISA-L takes some block headers zlib refuses (incomplete codes), so every
// block header is judged by zlib's rules first, and ISA-L decodes one block
// at a time: the block it is given is marked final, so that it stops at the
// block's end, where the next header is judged. Each block after the first
// starts ISA-L afresh with the last 32 KiB of output as its dictionary.
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#include "codecs/sfds_deflatecheck.h"
#include "codecs/sfds_zengine.h"

namespace {

constexpr std::uint32_t HistorySize = 32768;
// Input taken ahead of ISA-L while a block header is incomplete: more than
// the longest header and the bytes a short read leaves before it.
constexpr std::size_t PendingSize = 2048;
// Stepping from block to block costs about as much as zlib takes for a few
// hundred bytes (a restart, a dictionary, the header read twice); a stream
// of tiny or empty blocks decodes faster through zlib, which it is left to
// once it has had more than TinyBlocksTolerated blocks of less than
// MinBlockOutput bytes on average.
constexpr std::uint64_t TinyBlocksTolerated = 256;
constexpr std::int64_t MinBlockOutput = 512;

class TISALInflater final : public TZFastInflater {
public:
    TISALInflater() { Reset(); }

    void Reset() override {
        // The library's init leaves some fields as they were (the window size
        // among them): start from zeros, which mean the defaults. The scratch
        // buffers at its end (three quarters of its 85 KiB) are read only as
        // far as the fields say they were filled, and clearing them would cost
        // more than a tiny entry's whole inflate: all before them is cleared.
        std::memset(&FState, 0, offsetof(inflate_state, tmp_in_buffer));
        isal_inflate_init(&FState);
        Configure();
        FPhase = phHeader;
        FFirstBlock = true;
        FFinal = false;
        FAdler = 1;
        FHistoryEnd = 0;
        FHistoryFill = 0;
        FPendingAt = FPendingEnd = 0;
        FBlocks = 0;
        FTotalOut = 0;
        FTrailerHave = 0;
    }

    int Inflate(z_stream& Z, bool InputEnded) override {
        for (;;) {
            int R;
            switch (FPhase) {
                case phDone: return Z_STREAM_END;
                case phHeader:
                    R = StartBlock(Z);
                    if (R <= 0) return R < 0 || InputEnded ? Z_DATA_ERROR : Z_OK;
                    FPhase = phBlock;
                    break;
                case phBlock:
                    R = DecodeBlock(Z);
                    if (R <= 0) return R < 0 ? Z_DATA_ERROR : Z_OK;
                    FPhase = FFinal ? phTrailer : phHeader;
                    break;
                case phTrailer:
                    R = ReadTrailer(Z);
                    if (R <= 0) return R < 0 || InputEnded ? Z_DATA_ERROR : Z_OK;
                    FPhase = phDone;
                    return Z_STREAM_END;
            }
        }
    }

private:
    enum TPhase : std::uint8_t { phHeader, phBlock, phTrailer, phDone };

    void Configure() {
        FState.crc_flag = ISAL_DEFLATE;  // the trailer is checked here
        FState.hist_bits = 0;            // the full 32 KiB window
    }

    bool FromPending() const { return FPendingAt < FPendingEnd; }

    // Moves up to Count bytes of the caller's input behind the pending ones.
    bool TakeAhead(z_stream& Z) {
        if (FPendingAt > 0) {
            std::memmove(FPending, FPending + FPendingAt, FPendingEnd - FPendingAt);
            FPendingEnd -= FPendingAt;
            FPendingAt = 0;
        }
        const std::size_t N = std::min<std::size_t>(Z.avail_in, PendingSize - FPendingEnd);
        if (N == 0) return false;
        std::memcpy(FPending + FPendingEnd, Z.next_in, N);
        FPendingEnd += N;
        Z.next_in += N;
        Z.avail_in -= static_cast<uInt>(N);
        return true;
    }

    // Judges the next block header and hands the block to ISA-L: 1 when it
    // can decode, 0 when the header is not all there (the input is taken
    // ahead), -1 when zlib is to decide.
    int StartBlock(z_stream& Z) {
        const std::uint64_t Held = FState.read_in;
        const unsigned HeldCount = static_cast<unsigned>(FState.read_in_length);
        TDeflateBlockHeader Header;
        for (;;) {
            const bool Pending = FromPending();
            unsigned char* const Span = Pending ? FPending + FPendingAt : Z.next_in;
            const std::size_t SpanSize = Pending ? FPendingEnd - FPendingAt : Z.avail_in;
            TDeflateBits Bits(Held, HeldCount, Span, SpanSize);
            const TDeflateVerdict V = DeflateReadBlockHeader(Bits, Header);
            if (V == TDeflateVerdict::Refused) return -1;
            if (V == TDeflateVerdict::NeedMore) {
                if (Z.avail_in == 0) return 0;
                if (!TakeAhead(Z)) return -1;  // longer than any header
                continue;
            }
            ++FBlocks;
            if (FBlocks > TinyBlocksTolerated && FTotalOut < static_cast<std::int64_t>(FBlocks) * MinBlockOutput)
                return -1;
            if (!FFirstBlock) {
                isal_inflate_reset(&FState);
                Configure();
                if (Header.Type != TDeflateBlockType::Stored && FHistoryFill > 0) SetDictionary();
                FState.read_in = Held;
                FState.read_in_length = static_cast<std::int32_t>(HeldCount);
            }
            FFirstBlock = false;
            // Final in ISA-L's eyes, so that it stops at the block's end.
            if (HeldCount > 0) {
                FState.read_in |= 1;
            } else {
                Span[0] |= 1;
            }
            FFinal = Header.Final;
            return 1;
        }
    }

    // 1 at the block's end, 0 when ISA-L needs room or input, -1 on an error.
    int DecodeBlock(z_stream& Z) {
        for (;;) {
            const bool Pending = FromPending();
            FState.next_in = Pending ? FPending + FPendingAt : Z.next_in;
            FState.avail_in = Pending ? static_cast<std::uint32_t>(FPendingEnd - FPendingAt) : Z.avail_in;
            FState.next_out = Z.next_out;
            FState.avail_out = Z.avail_out;
            const int R = isal_inflate(&FState);
            Produced(Z.next_out, Z.avail_out - FState.avail_out);
            Z.next_out = FState.next_out;
            Z.avail_out = FState.avail_out;
            if (Pending) {
                FPendingAt = FPendingEnd - FState.avail_in;
            } else {
                Z.next_in = FState.next_in;
                Z.avail_in = FState.avail_in;
            }
            if (R < 0) return -1;
            if (FState.block_state == ISAL_BLOCK_FINISH) return 1;
            if (Pending && !FromPending() && Z.avail_in > 0 && Z.avail_out > 0) continue;
            return 0;
        }
    }

    // The Adler-32 trailer, from the byte boundary after the final block:
    // 1 when it matches, 0 when not all there, -1 otherwise.
    int ReadTrailer(z_stream& Z) {
        if (FTrailerHave == 0) {
            const unsigned Skip = static_cast<unsigned>(FState.read_in_length) % 8;
            FState.read_in >>= Skip;
            FState.read_in_length -= static_cast<std::int32_t>(Skip);
        }
        while (FTrailerHave < 4) {
            if (FState.read_in_length >= 8) {
                FTrailer[FTrailerHave++] = static_cast<unsigned char>(FState.read_in & 0xFF);
                FState.read_in >>= 8;
                FState.read_in_length -= 8;
            } else if (FromPending()) {
                FTrailer[FTrailerHave++] = FPending[FPendingAt++];
            } else if (Z.avail_in > 0) {
                FTrailer[FTrailerHave++] = *Z.next_in++;
                --Z.avail_in;
            } else {
                return 0;
            }
        }
        const std::uint32_t Expected = (std::uint32_t{FTrailer[0]} << 24) | (std::uint32_t{FTrailer[1]} << 16) |
                                       (std::uint32_t{FTrailer[2]} << 8) | FTrailer[3];
        if (Expected != FAdler) return -1;
        // What was taken ahead of the trailer's end belongs to the caller.
        Z.avail_in += static_cast<uInt>(FState.read_in_length / 8 + (FPendingEnd - FPendingAt));
        FPendingAt = FPendingEnd = 0;
        return 1;
    }

    void Produced(const unsigned char* Out, std::uint32_t Count) {
        if (Count == 0) return;
        FTotalOut += Count;
        FAdler = isal_adler32(FAdler, Out, Count);
        if (Count >= HistorySize) {
            std::memcpy(FHistory, Out + Count - HistorySize, HistorySize);
            FHistoryEnd = 0;
            FHistoryFill = HistorySize;
            return;
        }
        const std::uint32_t First = std::min(Count, HistorySize - FHistoryEnd);
        std::memcpy(FHistory + FHistoryEnd, Out, First);
        std::memcpy(FHistory, Out + First, Count - First);
        FHistoryEnd = (FHistoryEnd + Count) % HistorySize;
        FHistoryFill = std::min(HistorySize, FHistoryFill + Count);
    }

    void SetDictionary() {
        // Oldest byte first.
        const unsigned char* Dictionary = FHistory;
        if (FHistoryFill == HistorySize && FHistoryEnd != 0) {
            std::memcpy(FDictionary, FHistory + FHistoryEnd, HistorySize - FHistoryEnd);
            std::memcpy(FDictionary + HistorySize - FHistoryEnd, FHistory, FHistoryEnd);
            Dictionary = FDictionary;
        }
        isal_inflate_set_dict(&FState, const_cast<unsigned char*>(Dictionary), FHistoryFill);
    }

    inflate_state FState{};
    TPhase FPhase = phHeader;
    bool FFirstBlock = true;
    bool FFinal = false;  // the block ISA-L decodes is the stream's last
    std::uint32_t FAdler = 1;
    std::uint64_t FBlocks = 0;
    std::int64_t FTotalOut = 0;
    unsigned char FTrailer[4] = {};
    unsigned FTrailerHave = 0;
    // The last HistorySize bytes of output, a ring ending at FHistoryEnd.
    unsigned char FHistory[HistorySize];
    std::uint32_t FHistoryEnd = 0;
    std::uint32_t FHistoryFill = 0;
    unsigned char FDictionary[HistorySize];  // the ring in order, for ISA-L
    // Input taken from the caller, to be read before the caller's next_in.
    unsigned char FPending[PendingSize];
    std::size_t FPendingAt = 0;
    std::size_t FPendingEnd = 0;
};

}  // namespace

const char* ZStreamInflaterLibrary() { return "ISA-L inflate"; }

std::unique_ptr<TZFastInflater> ZNewStreamInflater() { return std::make_unique<TISALInflater>(); }
