// Writes the seed corpus of fuzz_jpeg with the fixtures' JPEG encoder, the
// same bytes on every run:
//   fuzz_jpeg_seeds <folder>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "JpegEncoder.h"

namespace {

TBitmap32 Pattern(int Width, int Height) {
    TBitmap32 Image(Width, Height);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            Image.Line(Y)[X] = 0xFF000000u | static_cast<std::uint32_t>((X * 37) & 255) << 16 |
                               static_cast<std::uint32_t>((Y * 59) & 255) << 8 |
                               static_cast<std::uint32_t>(((X + Y) * 13) & 255);
    return Image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_jpeg_seeds <folder>\n");
        return 2;
    }
    const std::string Out = argv[1];
    std::filesystem::create_directories(Out);
    const struct {
        const char* Name;
        int Width, Height, Quality;
        bool Grayscale, Progressive;
    } Seeds[] = {{"color_16", 16, 16, 90, false, false},    {"color_odd", 33, 17, 50, false, false},
                 {"gray_8", 8, 8, 75, true, false},         {"one_pixel", 1, 1, 100, false, false},
                 {"low_quality", 24, 40, 5, false, false},  {"progressive", 40, 24, 80, false, true},
                 {"wide_progressive", 700, 8, 60, false, true}, {"large", 360, 280, 10, false, false}};
    for (const auto& S : Seeds) {
        const std::string Bytes = EncodeJpeg(Pattern(S.Width, S.Height), S.Quality, S.Grayscale, S.Progressive);
        fuzz::WriteFile(Out + "/" + S.Name, Bytes);
        if (std::string(S.Name) == "color_odd") fuzz::WriteFile(Out + "/truncated", Bytes.substr(0, Bytes.size() / 2));
    }
    // Pictures made to cost a decoder: many scans, and many blocks in few bytes.
    fuzz::WriteFile(Out + "/many_scans", ManyScanJpeg(24, 16, 3, 40));
    fuzz::WriteFile(Out + "/blank_wide", BlankJpeg(4000, 64));
    return 0;
}
