// ">" in the viewer up to the picture ready for painting (decoded and fitted
// to a 1920 x 1080 view), through the viewer core that both front ends use,
// for a 6000 x 4000 JPEG stored as it is (format 0) and through zlib
// (format 1). Each figure is set against libjpeg decoding the same bytes
// from memory in this process, at the scale the viewer has it decode them
// (the viewer decodes a picture that its fit reduces at the smallest
// eighth not below the fitted size). With decoding ahead, the user looks at each
// picture for a second before ">", and the time the ">" itself takes is
// reported. Where the ">" goes is shown beside it: the entry read alone
// (inflating, for format 1), and the decode from the entry without and with
// the read-ahead that inflates on a second core. A plain program (no
// benchmark library) so that it builds for
// Windows as it is and runs under Wine:
//   bench_app_viewer_core [ROUNDS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "JpegEncoder.h"
#include "app/Bitmap32.h"
#include "app/JpegLoader.h"
#include "app/PictureArchive.h"
#include "app/PictureViewer.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_writer.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

using TClock = std::chrono::steady_clock;

constexpr int PictureWidth = 6000;
constexpr int PictureHeight = 4000;
constexpr TSize View{1920, 1080};

// Camera-like content: smooth gradients with fine grain, about 3 MB at quality 90.
std::string MakeJpeg() {
    TBitmap32 Picture(PictureWidth, PictureHeight);
    std::uint32_t Seed = 12345;
    for (int Y = 0; Y < PictureHeight; ++Y) {
        std::uint32_t* Row = Picture.Line(Y);
        for (int X = 0; X < PictureWidth; ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const int Grain = static_cast<int>((Seed >> 24) & 15) - 8;
            auto Clamp = [](int V) { return static_cast<std::uint32_t>(V < 0 ? 0 : V > 255 ? 255 : V); };
            Row[X] = 0xFF000000u | Clamp(X * 255 / PictureWidth + Grain) << 16 |
                     Clamp(Y * 255 / PictureHeight + Grain) << 8 | Clamp(128 + (((X / 40) ^ (Y / 40)) & 63) + Grain);
        }
    }
    return EncodeJpeg(Picture, 90);
}

// libjpeg's own decode from memory. Plain: RGB into fresh memory, as a
// program that decodes one picture does. Reused: the viewer's 32-bit layout
// into memory written before, as the viewer decodes each picture into the
// memory of one it no longer shows (fresh pages cost more than the decode
// itself on some machines).
enum class TBaseline { Plain, Reused };

void DecodeFromMemory(const std::string& Bytes, TBaseline Kind = TBaseline::Plain) {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(Bytes.data()), static_cast<unsigned long>(Bytes.size()));
    jpeg_read_header(&Info, TRUE);
    Info.scale_num = static_cast<unsigned>(JpegEighthsForView(PictureWidth, PictureHeight, View));
    Info.scale_denom = 8;
    if (Kind == TBaseline::Reused) Info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&Info);
    static std::vector<unsigned char> Kept;
    std::vector<unsigned char> Fresh;
    std::vector<unsigned char>& Pixels = Kind == TBaseline::Reused ? Kept : Fresh;
    Pixels.resize(static_cast<std::size_t>(Info.output_width) * Info.output_height * Info.output_components);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW P = Pixels.data() + static_cast<std::size_t>(Info.output_scanline) * Info.output_width *
                                         Info.output_components;
        jpeg_read_scanlines(&Info, &P, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

template <typename TWork>
double MillisecondsOf(TWork&& Work) {
    const auto Start = TClock::now();
    Work();
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

// The parts of one ">": the entry read to its end, and decoded straight from
// the entry and through the viewer's own stream (read ahead where that pays).
void PrintBreakdown(const char* Name, int Rounds) {
    std::vector<double> ReadAlone, Straight, Viewers;
    std::vector<char> Buffer(JpegReadChunk);
    TBitmap32 Kept;
    auto Decode = [&Kept](TStream& Stream) {
        TBitmap32 Picture;
        int Width = 0, Height = 0;
        LoadJpegImageForView(Picture, Stream, View, Width, Height, nullptr, std::move(Kept));
        Kept = std::move(Picture);
    };
    const TPictureArchive Archive = OpenPictureArchive(u"QMZBox\\QMZImage.QMZ", 0);
    auto Open = [Name] {
        std::unique_ptr<TStream> Stream;
        std::int64_t Size = 0;
        if (!SFDS_OpenStream(Name, Stream, Size, sarmNone)) std::abort();
        return Stream;
    };
    for (int I = 0; I < Rounds; ++I) {
        ReadAlone.push_back(MillisecondsOf([&] {
            auto Stream = Open();
            while (Stream->Read(Buffer.data(), JpegReadChunk) > 0) {
            }
        }));
        Straight.push_back(MillisecondsOf([&] { Decode(*Open()); }));
        Viewers.push_back(MillisecondsOf([&] { Decode(*OpenPictureStream(Archive, 0)); }));
    }
    std::printf("    entry read alone %.1f ms; decoded from the entry %.1f ms, through the viewer's stream %.1f ms\n",
                Median(ReadAlone), Median(Straight), Median(Viewers));
}

class TBenchWindow : public TViewerWindow {
public:
    TSize ViewSize() const override { return View; }
    TPictureMemory ShowPicture(TBitmap32 Bitmap, float, TBitmap32 Scaled) override {
        TPictureMemory Previous{std::move(FBitmap), std::move(FScaled)};
        FBitmap = std::move(Bitmap);
        FScaled = std::move(Scaled);
        return Previous;
    }
    void CloseViewer() override {}
    void QueuePictureReady() override {
        {
            std::lock_guard<std::mutex> Lock(FLock);
            FPosted = true;
        }
        FPostedChanged.notify_all();
    }

    // ">" up to the picture shown, handling the decoder's messages as the
    // window's thread does.
    void Next(TPictureViewer& Viewer) {
        Viewer.NextPicture();
        while (Viewer.Waiting()) {
            std::unique_lock<std::mutex> Lock(FLock);
            FPostedChanged.wait(Lock, [this] { return FPosted; });
            FPosted = false;
            Lock.unlock();
            Viewer.PictureReady();
        }
    }

private:
    TBitmap32 FBitmap, FScaled;
    std::mutex FLock;
    std::condition_variable FPostedChanged;
    bool FPosted = false;
};

// A working folder with QMZBox\QMZImage.QMZ holding the picture twice, so
// that every ">" decodes a whole picture.
class TFixture {
public:
    TFixture(const std::string& Jpeg, std::uint8_t Format) {
        FDir = std::filesystem::temp_directory_path() / ("qmzbench-" + std::to_string(Format));
        std::filesystem::create_directories(FDir / "QMZBox");
        {
            TSFDSFileWriter W((FDir / "QMZBox" / "QMZImage.QMZ").string());
            W.AddBytes("one.jpg", Jpeg, Format);
            W.AddBytes("two.jpg", Jpeg, Format);
            W.Finish();
        }
        FSaved = std::filesystem::current_path();
        std::filesystem::current_path(FDir);
    }
    ~TFixture() {
        SFDS_FreeKeptReaders();
        std::filesystem::current_path(FSaved);
        std::error_code Ec;
        std::filesystem::remove_all(FDir, Ec);
    }

private:
    std::filesystem::path FDir, FSaved;
};

}  // namespace

int main(int argc, char** argv) {
    const int Rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TSFDSLibrary Library;
    const std::string Jpeg = MakeJpeg();
    std::printf("picture %dx%d, %zu JPEG bytes, decoded at %d/8 for a %dx%d view, %d rounds (medians)\n",
                PictureWidth, PictureHeight, Jpeg.size(), JpegEighthsForView(PictureWidth, PictureHeight, View),
                View.Width, View.Height, Rounds);

    std::vector<double> Plain, Reused;
    DecodeFromMemory(Jpeg, TBaseline::Reused);
    for (int I = 0; I < Rounds; ++I) {
        Plain.push_back(MillisecondsOf([&] { DecodeFromMemory(Jpeg, TBaseline::Plain); }));
        Reused.push_back(MillisecondsOf([&] { DecodeFromMemory(Jpeg, TBaseline::Reused); }));
    }
    std::printf("libjpeg from memory, RGB into fresh memory    %8.1f ms\n", Median(Plain));
    std::printf("libjpeg from memory, 32-bit into used memory  %8.1f ms  (the baseline; timed again between\n"
                "                                                          the \">\" below, against which each is set)\n",
                Median(Reused));

    for (const std::uint8_t Format : {std::uint8_t(0), std::uint8_t(1)}) {
        TFixture Fixture(Jpeg, Format);
        TBenchWindow Window;
        TPictureViewer Viewer(Window);
        Viewer.SetPrefetch(false);
        Viewer.Init();
        Viewer.ShowFirstPicture();
        Viewer.WaitForDecode();
        Viewer.PictureReady();
        // Interleaved with the baseline, so that a slower spell of the
        // machine weighs on both sides alike.
        std::vector<double> Next, Baseline;
        for (int I = 0; I < Rounds; ++I) {
            Baseline.push_back(MillisecondsOf([&] { DecodeFromMemory(Jpeg, TBaseline::Reused); }));
            Next.push_back(MillisecondsOf([&] { Window.Next(Viewer); }));
        }
        const double Ms = Median(Next);
        std::printf("\">\" format %d, no decode ahead  %8.1f ms  %.3f x libjpeg's %.1f ms (goal <= 1.15)\n", Format,
                    Ms, Ms / Median(Baseline), Median(Baseline));
        PrintBreakdown("one.jpg", Rounds);

        Viewer.SetPrefetch(true);
        Window.Next(Viewer);  // starts the first decode ahead
        double Worst = 0;
        for (int I = 0; I < Rounds; ++I) {
            std::this_thread::sleep_for(std::chrono::seconds(1));  // the user looks at the picture
            Worst = std::max(Worst, MillisecondsOf([&] { Window.Next(Viewer); }));
        }
        std::printf("\">\" format %d, decoded ahead    %8.1f ms worst (goal < 20)\n", Format, Worst);
        Viewer.Stop();
    }
    return 0;
}
