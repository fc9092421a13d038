// The two deflate engines side by side: the same bytes go through the zlib
// decompression adapter once under zlib and once under the fast engine. A
// stream zlib reads to its end must come out of both with the same bytes and
// the same bytes given back after it; a stream zlib rejects must be rejected
// by both with the same error; a stream that ends early must end early in
// both, each handing out a prefix of the same bytes.
//
// Input: byte 0 picks the read piece size (low 3 bits) and the form (bit 7):
// clear, the rest is the compressed stream as it is; set, the rest is raw
// deflate data, which the target wraps in a zlib header and the Adler-32 of
// what zlib makes of it, so that mutations reach the deflate decoder behind
// the checksum.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

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

struct TOutcome {
    std::string Bytes;
    bool Failed = false;
    std::int32_t Code = 0;
    std::string Message;
    std::int64_t Left = 0;  // source bytes after the adapter's position
};

TOutcome Read(const std::string& In, TZEngine Engine, std::int32_t Piece) {
    ZSetDefaultEngine(Engine);
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
        PlainInflate(In, -15, Plain);
        const uLong Adler = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(Plain.data()),
                                    static_cast<uInt>(Plain.size()));
        In = std::string("\x78\x9c", 2) + In;
        for (int Shift = 24; Shift >= 0; Shift -= 8) In += static_cast<char>((Adler >> Shift) & 0xFF);
    }
    std::string Plain;
    const TEnd End = PlainInflate(In, 15, Plain);
    const TOutcome Z = Read(In, TZEngine::ZLib, Piece);
    const TOutcome F = Read(In, TZEngine::Fast, Piece);
    const bool OverBudget = static_cast<std::int64_t>(Plain.size()) >= fuzz::ReadBudget;
    if (Z.Failed != F.Failed) std::abort();
    if (Z.Failed) {
        if (Z.Code != F.Code || Z.Message != F.Message) std::abort();
        return 0;
    }
    if (End == eComplete && !OverBudget) {
        if (Z.Bytes != F.Bytes || Z.Left != F.Left) std::abort();
    } else {
        const std::size_t N = std::min(Z.Bytes.size(), F.Bytes.size());
        if (Z.Bytes.compare(0, N, F.Bytes, 0, N) != 0) std::abort();
    }
    return 0;
}
