// Whatever the format-1 compressor writes, plain zlib inflates to the bytes
// written, under either deflate engine, at every level and strategy.
//
// Input: byte 0 picks the level (low 2 bits), the strategy (next 3 bits) and
// how the bytes are written (bit 7: in pieces of byte 1 + 1, else at once);
// the rest is the data.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_compressorzlib.h"
#include "codecs/sfds_zengine.h"
#include "runtime/MemoryStream.h"

namespace {

std::string PlainInflate(const std::string& In) {
    z_stream Z{};
    if (inflateInit(&Z) != Z_OK) std::abort();
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(In.data()));
    Z.avail_in = static_cast<uInt>(In.size());
    std::string Out, Buffer(65536, '\0');
    int R = Z_OK;
    while (R == Z_OK) {
        Z.next_out = reinterpret_cast<Bytef*>(Buffer.data());
        Z.avail_out = static_cast<uInt>(Buffer.size());
        R = inflate(&Z, Z_NO_FLUSH);
        Out.append(Buffer.data(), Buffer.size() - Z.avail_out);
    }
    // The stream must end exactly where the compressed bytes end.
    if (R != Z_STREAM_END || Z.avail_in != 0) std::abort();
    inflateEnd(&Z);
    return Out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2) return 0;
    const TZCompressionLevel Levels[] = {zcFastest, zcDefault, zcMax, zcLevel4};
    const TZCompressionLevel Level = Levels[Data[0] & 3];
    const auto Strategy = static_cast<TZStrategy>(((Data[0] >> 2) & 7) % 5);
    const std::size_t Piece = (Data[0] & 0x80) ? std::size_t{Data[1]} + 1 : Size;
    const std::string Plain(reinterpret_cast<const char*>(Data) + 2, Size - 2);
    for (const TZEngine Engine : ZAvailableEngines()) {
        ZSetDefaultEngine(Engine);
        TMemoryStream Dest;
        TZEntryCompressionStream C(Dest, Level, Strategy);
        for (std::size_t At = 0; At < Plain.size(); At += Piece)
            C.WriteBuffer(Plain.data() + At, static_cast<std::int32_t>(std::min(Piece, Plain.size() - At)));
        C.Finish();
        if (C.Position() != static_cast<std::int64_t>(Plain.size())) std::abort();
        if (PlainInflate(Dest.AsString()) != Plain) std::abort();
    }
    return 0;
}
