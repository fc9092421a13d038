// The viewer's picture decoding over a memory stream: arbitrary bytes, read
// from the stream's position to its end through the loader's own source
// manager. A refused picture raises EJPEG, memory that cannot be had
// EOutOfMemory: both are the expected outcome of bad input. A decoded picture
// must have the size the loader reports.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/JpegLoader.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream Stream(std::string_view(reinterpret_cast<const char*>(Data), Size));
    TBitmap32 Bitmap;
    int Width = -1;
    int Height = -1;
    try {
        LoadJpegImage(Bitmap, Stream, Width, Height);
    } catch (const Exception&) {
        return 0;
    }
    if (Bitmap.Width() != Width || Bitmap.Height() != Height || Bitmap.IsNull()) {
        std::fprintf(stderr, "decoded %dx%d, reported %dx%d\n", Bitmap.Width(), Bitmap.Height(), Width, Height);
        std::abort();
    }
    return 0;
}
