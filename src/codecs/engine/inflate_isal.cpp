// The fast engine's inflater: ISA-L's streaming inflate. The zlib adapter
// hands it the stream after its two header bytes; it decodes the deflate data
// and checks the Adler-32 trailer that follows it.
#include <isa-l/igzip_lib.h>

#include <memory>

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

}  // namespace

const char* ZFastInflaterLibrary() { return "ISA-L inflate"; }

std::unique_ptr<TZFastInflater> ZNewFastInflater() { return std::make_unique<TISALInflater>(); }
