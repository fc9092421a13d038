// The viewer's picture decoding over a memory stream: arbitrary bytes, read
// from the stream's position to its end through the loader's own source
// manager, at full size and for a view as the viewer decodes them. A refused
// picture raises EJPEG, memory that cannot be had EOutOfMemory: both are the
// expected outcome of bad input. A decoded picture must have the size the
// loader reports, and one decoded for a view must fit in it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/JpegLoader.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"

namespace {

constexpr TSize View{320, 240};

void Check(const TBitmap32& Bitmap, int Width, int Height, bool ForView) {
    const bool Fits = !ForView || (Bitmap.Width() <= View.Width && Bitmap.Height() <= View.Height);
    if (Bitmap.Width() != Width || Bitmap.Height() != Height || Bitmap.IsNull() || !Fits) {
        std::fprintf(stderr, "decoded %dx%d, reported %dx%d%s\n", Bitmap.Width(), Bitmap.Height(), Width, Height,
                     ForView ? " for a 320x240 view" : "");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    for (const bool ForView : {false, true}) {
        TMemoryStream Stream(Bytes);
        TBitmap32 Bitmap;
        int Width = -1;
        int Height = -1;
        try {
            if (ForView)
                LoadJpegImageForView(Bitmap, Stream, View, Width, Height);
            else
                LoadJpegImage(Bitmap, Stream, Width, Height);
        } catch (const Exception&) {
            continue;
        }
        Check(Bitmap, Width, Height, ForView);
    }
    return 0;
}
