#include "JpegEncoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

std::string Encode(int Width, int Height, const std::function<void(int, std::uint32_t*)>& MakeRow, int Quality,
                   bool Grayscale, bool Progressive) {
    jpeg_compress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_compress(&Info);
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    jpeg_mem_dest(&Info, &Out, &OutSize);
    Info.image_width = static_cast<JDIMENSION>(Width);
    Info.image_height = static_cast<JDIMENSION>(Height);
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    if (Grayscale) jpeg_set_colorspace(&Info, JCS_GRAYSCALE);
    jpeg_set_quality(&Info, Quality, TRUE);
    if (Progressive) jpeg_simple_progression(&Info);
    jpeg_start_compress(&Info, TRUE);
    std::vector<std::uint32_t> Line(static_cast<std::size_t>(Width));
    std::vector<JSAMPLE> Row(static_cast<std::size_t>(Width) * 3);
    while (Info.next_scanline < Info.image_height) {
        MakeRow(static_cast<int>(Info.next_scanline), Line.data());
        for (int X = 0; X < Width; ++X) {
            Row[static_cast<std::size_t>(X) * 3 + 0] = static_cast<JSAMPLE>(Line[static_cast<std::size_t>(X)] >> 16);
            Row[static_cast<std::size_t>(X) * 3 + 1] = static_cast<JSAMPLE>(Line[static_cast<std::size_t>(X)] >> 8);
            Row[static_cast<std::size_t>(X) * 3 + 2] = static_cast<JSAMPLE>(Line[static_cast<std::size_t>(X)]);
        }
        JSAMPROW P = Row.data();
        jpeg_write_scanlines(&Info, &P, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::string Result(reinterpret_cast<const char*>(Out), OutSize);
    std::free(Out);
    return Result;
}

void PutWord(std::string& Out, unsigned Word) {
    Out += static_cast<char>(Word >> 8);
    Out += static_cast<char>(Word & 0xFF);
}

void PutMarker(std::string& Out, unsigned Marker, const std::string& Body) {
    PutWord(Out, 0xFF00 | Marker);
    PutWord(Out, static_cast<unsigned>(Body.size()) + 2);
    Out += Body;
}

// Entropy-coded bits, most significant first, with a zero byte stuffed after
// every 0xFF and the last byte filled up with one bits.
class TBitWriter {
public:
    explicit TBitWriter(std::string& Out) : FOut(Out) {}
    void Put(unsigned Bits, int Count) {
        for (int I = Count - 1; I >= 0; --I) {
            FByte = (FByte << 1) | ((Bits >> I) & 1);
            if (++FCount == 8) Emit();
        }
    }
    void Flush() {
        while (FCount != 0) Put(1, 1);
    }

private:
    void Emit() {
        FOut += static_cast<char>(FByte);
        if (FByte == 0xFF) FOut += '\0';
        FByte = 0;
        FCount = 0;
    }
    std::string& FOut;
    unsigned FByte = 0;
    int FCount = 0;
};

}  // namespace

std::string EncodeJpeg(const TBitmap32& Picture, int Quality, bool Grayscale, bool Progressive) {
    return Encode(
        Picture.Width(), Picture.Height(),
        [&Picture](int Y, std::uint32_t* Line) {
            const std::uint32_t* Src = Picture.Line(Y);
            std::copy(Src, Src + Picture.Width(), Line);
        },
        Quality, Grayscale, Progressive);
}

std::string EncodeJpegRows(int Width, int Height, const std::function<void(int, std::uint32_t*)>& MakeRow,
                           int Quality) {
    return Encode(Width, Height, MakeRow, Quality, false, false);
}

namespace {

// Start of image, quantisation table 0 (all ones) and a frame header of
// Components components, none subsampled.
std::string Header(unsigned FrameMarker, int Width, int Height, int Components) {
    std::string Out("\xFF\xD8", 2);
    PutMarker(Out, 0xDB, std::string(1, '\0') + std::string(64, '\1'));
    std::string Frame;
    Frame += '\x08';
    PutWord(Frame, static_cast<unsigned>(Height));
    PutWord(Frame, static_cast<unsigned>(Width));
    Frame += static_cast<char>(Components);
    for (int C = 1; C <= Components; ++C) Frame += std::string{static_cast<char>(C), '\x11', '\0'};
    PutMarker(Out, FrameMarker, Frame);
    return Out;
}

std::uint64_t BlockCount(int Width, int Height) {
    return static_cast<std::uint64_t>((Width + 7) / 8) * static_cast<std::uint64_t>((Height + 7) / 8);
}

}  // namespace

std::string BlankJpeg(int Width, int Height) {
    std::string Out = Header(0xC0, Width, Height, 1);
    // DC: "0" for a difference of nothing; AC: "0" for the end of the block.
    PutMarker(Out, 0xC4, std::string("\x00\x01", 2) + std::string(15, '\0') + std::string(1, '\0') +
                             std::string("\x10\x01", 2) + std::string(15, '\0') + std::string(1, '\0'));
    PutMarker(Out, 0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
    const std::uint64_t Bits = BlockCount(Width, Height) * 2;
    Out.append(static_cast<std::size_t>(Bits / 8), '\0');
    TBitWriter Tail(Out);
    Tail.Put(0, static_cast<int>(Bits % 8));
    Tail.Flush();
    Out += std::string("\xFF\xD9", 2);
    return Out;
}

std::string ManyScanJpeg(int Width, int Height, int Components, int Scans) {
    std::string Out = Header(0xC2, Width, Height, Components);

    // DC: one code, "0", for a difference of nothing. AC: the fifteen
    // end-of-band runs EOB0..EOB14 as the four-bit codes 0..14.
    std::string Dc("\x00", 1);
    Dc += std::string("\x01", 1) + std::string(15, '\0') + std::string(1, '\0');
    std::string Ac("\x10", 1);
    Ac += std::string(3, '\0') + std::string(1, '\x0F') + std::string(12, '\0');
    for (int N = 0; N < 15; ++N) Ac += static_cast<char>(N << 4);
    PutMarker(Out, 0xC4, Dc + Ac);

    const std::uint64_t Blocks = BlockCount(Width, Height);
    auto Scan = [&Out](const std::string& Components, int Ss, int Se) {
        std::string Body(1, static_cast<char>(Components.size()));
        for (char C : Components) Body += std::string{C, '\0'};
        Body += std::string{static_cast<char>(Ss), static_cast<char>(Se), '\0'};
        PutMarker(Out, 0xDA, Body);
    };

    std::string All;
    for (int C = 1; C <= Components; ++C) All += static_cast<char>(C);
    Scan(All, 0, 0);
    {
        TBitWriter Bits(Out);
        // One "0" per block: whole zero bytes, then the rest bit by bit.
        const std::uint64_t Count = Blocks * static_cast<std::uint64_t>(Components);
        Out.append(static_cast<std::size_t>(Count / 8), '\0');
        Bits.Put(0, static_cast<int>(Count % 8));
        Bits.Flush();
    }
    for (int S = 1; S < Scans; ++S) {
        Scan(std::string(1, static_cast<char>(1 + (S - 1) % Components)), 1, 63);
        TBitWriter Bits(Out);
        for (std::uint64_t Left = Blocks; Left > 0;) {
            const std::uint64_t Run = Left < 32767 ? Left : 32767;
            int N = 0;
            while ((Run >> (N + 1)) != 0) ++N;
            Bits.Put(static_cast<unsigned>(N), 4);
            Bits.Put(static_cast<unsigned>(Run - (std::uint64_t{1} << N)), N);
            Left -= Run;
        }
        Bits.Flush();
    }
    Out += std::string("\xFF\xD9", 2);
    return Out;
}
