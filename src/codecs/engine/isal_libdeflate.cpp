// The fast engine: ISA-L's streaming inflater and libdeflate's whole-buffer
// deflater. The zlib adapter hands the inflater the stream after its two
// header bytes; the inflater decodes the deflate data and checks the Adler-32
// trailer that follows it.
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>

#include <memory>
#include <new>

#include "codecs/sfds_zengine.h"

namespace {

class TISALInflater final : public TZFastInflater {
public:
    TISALInflater() { Reset(); }

    void Reset() override {
        // The library's init leaves some fields as they were (the window size
        // among them): start from zeros, which mean the defaults.
        FState = inflate_state{};
        isal_inflate_init(&FState);
        FState.crc_flag = ISAL_ZLIB_NO_HDR_VER;
        FState.hist_bits = 0;  // the full 32 KiB window
        FDone = false;
    }

    int Inflate(z_stream& Z) override {
        if (FDone) return Z_STREAM_END;
        FState.next_in = Z.next_in;
        FState.avail_in = Z.avail_in;
        FState.next_out = Z.next_out;
        FState.avail_out = Z.avail_out;
        const int R = isal_inflate(&FState);
        Z.next_in = FState.next_in;
        Z.avail_in = FState.avail_in;
        Z.next_out = FState.next_out;
        Z.avail_out = FState.avail_out;
        if (R < 0) return Z_DATA_ERROR;
        if (FState.block_state == ISAL_BLOCK_FINISH) {
            // Whole bytes still in the bit buffer lie after the trailer too.
            Z.avail_in += static_cast<uInt>(FState.read_in_length / 8);
            FDone = true;
            return Z_STREAM_END;
        }
        return Z_OK;
    }

private:
    inflate_state FState{};
    bool FDone = false;
};

struct TCompressorFree {
    void operator()(libdeflate_compressor* C) const { libdeflate_free_compressor(C); }
};

// One compressor per level and thread: allocating one costs more than
// deflating a small entry.
libdeflate_compressor* CompressorFor(int Level) {
    thread_local std::unique_ptr<libdeflate_compressor, TCompressorFree> Compressors[10];
    auto& C = Compressors[Level];
    if (!C) {
        C.reset(libdeflate_alloc_compressor(Level));
        if (!C) throw std::bad_alloc();
    }
    return C.get();
}

}  // namespace

bool ZFastEngineAvailable() { return true; }

const char* ZFastEngineLibraries() { return "ISA-L inflate, libdeflate deflate"; }

std::unique_ptr<TZFastInflater> ZNewFastInflater() { return std::make_unique<TISALInflater>(); }

bool ZFastDeflate(std::string_view In, int Level, std::string& Out) {
    if (Level < 1) Level = 1;
    if (Level > 9) Level = 9;
    libdeflate_compressor* C = CompressorFor(Level);
    Out.resize(libdeflate_zlib_compress_bound(C, In.size()));
    const std::size_t N = libdeflate_zlib_compress(C, In.data(), In.size(), Out.data(), Out.size());
    if (N == 0) throw std::bad_alloc();  // cannot happen: the bound always fits
    Out.resize(N);
    return true;
}
