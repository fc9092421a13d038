// The deflate engines side by side: the same bytes go through the zlib
// decompression adapter under zlib, under the fast engine and through the
// whole-entry inflater (the Windows build's). A stream zlib reads to its end
// must come out of every route with the same bytes and the same bytes given
// back after it; a stream zlib rejects must be rejected on every route with
// the same error; a stream that ends early must end early on every route,
// each handing out a prefix of the same bytes.
//
// Input: byte 0 picks the read piece size (low 3 bits), the form (bit 7) and
// whose decoding gives the checksum (bits 5 and 6). With bit 7 clear the rest
// is the compressed stream as it is; set, the rest is raw deflate data, which
// the target wraps in a zlib header and the Adler-32 of what an inflater
// makes of it: ISA-L (0 and 3), libdeflate (1) or zlib (2). The lenient
// inflaters decode data zlib refuses, so their checksum lets such data pass
// every check but the rules themselves: mutations reach the deflate decoders
// behind the checksum, and data zlib refuses cannot hide behind a wrong one.
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "codecs/sfds_zengine.h"
#include "codecs/sfds_zlibex.h"
#include "runtime/MemoryStream.h"

namespace {

constexpr std::int32_t Pieces[] = {1, 3, 512, 4093, 16384, 65536, 100000, 7};

enum TEnd { eComplete, eCut, eError };

// What zlib alone makes of the whole input at once: complete, cut short or
// rejected, and the bytes (within the budget).
TEnd PlainInflate(const std::string& In, int WindowBits, std::string& Out) {
    z_stream Z{};
    if (inflateInit2(&Z, WindowBits) != Z_OK) std::abort();
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(In.data()));
    Z.avail_in = static_cast<uInt>(In.size());
    std::string Buffer(65536, '\0');
    int R = Z_OK;
    while (R == Z_OK && static_cast<std::int64_t>(Out.size()) < fuzz::ReadBudget) {
        Z.next_out = reinterpret_cast<Bytef*>(Buffer.data());
        Z.avail_out = static_cast<uInt>(Buffer.size());
        R = inflate(&Z, Z_NO_FLUSH);
        Out.append(Buffer.data(), Buffer.size() - Z.avail_out);
        if (R == Z_BUF_ERROR || (R == Z_OK && Z.avail_in == 0 && Z.avail_out > 0)) break;
    }
    inflateEnd(&Z);
    if (R == Z_STREAM_END) return eComplete;
    return R == Z_OK || R == Z_BUF_ERROR ? eCut : eError;
}

// What ISA-L makes of raw deflate data, as far as it goes.
std::string ISALInflate(const std::string& In) {
    auto S = std::make_unique<inflate_state>();
    isal_inflate_init(S.get());
    S->crc_flag = ISAL_DEFLATE;
    S->next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(In.data()));
    S->avail_in = static_cast<std::uint32_t>(In.size());
    std::string Out;
    std::string Buffer(65536, '\0');
    while (S->block_state != ISAL_BLOCK_FINISH && static_cast<std::int64_t>(Out.size()) < fuzz::ReadBudget) {
        S->next_out = reinterpret_cast<std::uint8_t*>(Buffer.data());
        S->avail_out = static_cast<std::uint32_t>(Buffer.size());
        const int R = isal_inflate(S.get());
        Out.append(Buffer.data(), Buffer.size() - S->avail_out);
        if (R < 0 || S->avail_out == Buffer.size()) break;
    }
    return Out;
}

// What libdeflate makes of raw deflate data it takes whole; nothing else.
std::string LibdeflateInflate(const std::string& In) {
    libdeflate_decompressor* D = libdeflate_alloc_decompressor();
    if (D == nullptr) std::abort();
    // Deflate makes at most 1032 bytes of one.
    std::string Out(std::min<std::size_t>(static_cast<std::size_t>(fuzz::ReadBudget), In.size() * 1032 + 64), '\0');
    std::size_t Made = 0;
    const libdeflate_result R = libdeflate_deflate_decompress(D, In.data(), In.size(), Out.data(), Out.size(), &Made);
    libdeflate_free_decompressor(D);
    Out.resize(R == LIBDEFLATE_SUCCESS ? Made : 0);
    return Out;
}

struct TOutcome {
    std::string Bytes;
    bool Failed = false;
    std::int32_t Code = 0;
    std::string Message;
    std::int64_t Left = 0;  // source bytes after the adapter's position
};

TOutcome Read(const std::string& In, TZEngine Engine, bool Whole, std::int32_t Piece) {
    ZSetDefaultEngine(Engine);
    ZPreferWholeInflater(Whole);
    TOutcome R;
    TMemoryStream Source(In);
    TZDecompressionStream Z(Source);
    std::string Buffer(static_cast<std::size_t>(Piece), '\0');
    try {
        for (;;) {
            const std::int32_t N = Z.Read(Buffer.data(), Piece);
            if (N <= 0) break;
            R.Bytes.append(Buffer.data(), static_cast<std::size_t>(N));
            if (static_cast<std::int64_t>(R.Bytes.size()) >= fuzz::ReadBudget) break;
        }
    } catch (const EZDecompressionError& E) {
        R.Failed = true;
        R.Code = E.ErrorCode();
        R.Message = E.Message();
    }
    ZPreferWholeInflater(false);
    R.Left = Source.Size() - Source.Position();
    return R;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    const std::int32_t Piece = Pieces[Data[0] & 7];
    std::string In(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    if (Data[0] & 0x80) {
        std::string Plain;
        switch ((Data[0] >> 5) & 3) {
            case 1: Plain = LibdeflateInflate(In); break;
            case 2: PlainInflate(In, -15, Plain); break;
            default: Plain = ISALInflate(In); break;
        }
        const uLong Adler = adler32_z(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(Plain.data()),
                                      Plain.size());
        In = std::string("\x78\x9c", 2) + In;
        for (int Shift = 24; Shift >= 0; Shift -= 8) In += static_cast<char>((Adler >> Shift) & 0xFF);
    }
    std::string Plain;
    const TEnd End = PlainInflate(In, 15, Plain);
    const bool OverBudget = static_cast<std::int64_t>(Plain.size()) >= fuzz::ReadBudget;
    const TOutcome Z = Read(In, TZEngine::ZLib, false, Piece);
    std::vector<TOutcome> Others = {Read(In, TZEngine::Fast, false, Piece)};
    if (ZWholeInflaterLibrary() != nullptr) Others.push_back(Read(In, TZEngine::Fast, true, Piece));
    for (const TOutcome& F : Others) {
        if (Z.Failed != F.Failed) std::abort();
        if (Z.Failed) {
            if (Z.Code != F.Code || Z.Message != F.Message) std::abort();
            continue;
        }
        if (End == eComplete && !OverBudget) {
            if (Z.Bytes != F.Bytes || Z.Left != F.Left) std::abort();
        } else {
            const std::size_t N = std::min(Z.Bytes.size(), F.Bytes.size());
            if (Z.Bytes.compare(0, N, F.Bytes, 0, N) != 0) std::abort();
        }
    }
    return 0;
}
