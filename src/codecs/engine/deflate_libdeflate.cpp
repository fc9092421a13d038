// The fast engine's deflater: libdeflate, whole buffers at a time.
#include <libdeflate.h>

#include <memory>
#include <new>

#include "codecs/sfds_keptpool.h"
#include "codecs/sfds_zengine.h"

namespace {

struct TCompressorFree {
    void operator()(libdeflate_compressor* C) const { libdeflate_free_compressor(C); }
};
using TCompressor = std::unique_ptr<libdeflate_compressor, TCompressorFree>;

// Compressors kept per level: allocating one costs more than deflating a
// small entry. As many as threads deflate at once are kept.
TKeptPool<TCompressor>& CompressorsOf(int Level) {
    static TKeptPool<TCompressor> Pools[10];
    return Pools[Level];
}

}  // namespace

const char* ZFastDeflaterLibrary() { return "libdeflate deflate"; }

bool ZFastDeflate(std::string_view In, int Level, std::string& Out) {
    if (Level < 1) Level = 1;
    if (Level > 9) Level = 9;
    TKeptPool<TCompressor>& Kept = CompressorsOf(Level);
    TCompressor C = Kept.Take();
    if (!C) {
        C.reset(libdeflate_alloc_compressor(Level));
        if (!C) throw std::bad_alloc();
    }
    Out.resize(libdeflate_zlib_compress_bound(C.get(), In.size()));
    const std::size_t N = libdeflate_zlib_compress(C.get(), In.data(), In.size(), Out.data(), Out.size());
    Kept.Give(std::move(C));
    if (N == 0) throw std::bad_alloc();  // cannot happen: the bound always fits
    Out.resize(N);
    return true;
}
