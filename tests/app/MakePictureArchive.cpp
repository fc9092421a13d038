// Fixture maker for the smoke test and the demo: writes a picture archive with
// the library's own writer, either from JPEG files or from generated pictures.
//
//   make_picture_archive ARCHIVE FORMAT FILE...
//   make_picture_archive ARCHIVE FORMAT --generate COUNT WIDTH HEIGHT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "JpegEncoder.h"
#include "app/Bitmap32.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_writer.h"

namespace {

// A diagonal gradient in a hue of its own per picture, with a checker corner
// that shows nearest-neighbour scaling.
// Hue 0..359, saturation and value 0..255.
std::uint32_t FromHsv(int Hue, int Saturation, int Value) {
    const int Sector = Hue / 60, Frac = (Hue % 60) * 255 / 60;
    const int P = Value * (255 - Saturation) / 255;
    const int Q = Value * (255 - Saturation * Frac / 255) / 255;
    const int T = Value * (255 - Saturation * (255 - Frac) / 255) / 255;
    int R = Value, G = T, B = P;
    switch (Sector) {
        case 1: R = Q, G = Value, B = P; break;
        case 2: R = P, G = Value, B = T; break;
        case 3: R = P, G = Q, B = Value; break;
        case 4: R = T, G = P, B = Value; break;
        case 5: R = Value, G = P, B = Q; break;
        default: break;
    }
    return 0xFF000000u | (static_cast<std::uint32_t>(R) << 16) | (static_cast<std::uint32_t>(G) << 8) |
           static_cast<std::uint32_t>(B);
}

TBitmap32 GeneratedPicture(int Index, int Width, int Height) {
    TBitmap32 Img(Width, Height);
    const int Hue = (Index * 67) % 360;
    for (int Y = 0; Y < Height; ++Y) {
        std::uint32_t* Line = Img.Line(Y);
        for (int X = 0; X < Width; ++X) {
            const int Value = 80 + (175 * (X + Y)) / (Width + Height);
            Line[X] = FromHsv(Hue, 200, Value);
            if (X < Width / 8 && Y < Height / 8 && ((X / 8 + Y / 8) & 1)) Line[X] = 0xFFFFFFFFu;
        }
    }
    return Img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ARCHIVE FORMAT (FILE... | --generate COUNT WIDTH HEIGHT)\n", argv[0]);
        return 2;
    }
    try {
        TSFDSLibrary Library;
        const std::string Archive = argv[1];
        const auto Format = static_cast<std::uint8_t>(std::atoi(argv[2]));
        ForceDirectories(ExtractFilePath(Archive));
        TSFDSFileWriter Writer(Archive);
        if (std::string(argv[3]) == "--generate") {
            if (argc < 7) return 2;
            const int Count = std::atoi(argv[4]), Width = std::atoi(argv[5]), Height = std::atoi(argv[6]);
            for (int I = 0; I < Count; ++I) {
                char Name[32];
                std::snprintf(Name, sizeof Name, "picture%02d.jpg", I + 1);
                Writer.AddBytes(Name, EncodeJpeg(GeneratedPicture(I, Width, Height), 90), Format);
            }
        } else {
            for (int I = 3; I < argc; ++I) Writer.AddFile(argv[I], ExtractFileName(argv[I]), Format);
        }
        Writer.Finish();
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
