// ">" in the viewer, up to the picture scaled for the view, for a 6000 x 4000
// JPEG stored as it is (format 0) and through zlib (format 1). Each figure is
// set against libjpeg decoding the same bytes from memory in this process at
// the scale the viewer has it decode them for the view (counter vs_libjpeg);
// the prefetch case waits a second between pictures, as a user does, and
// reports the time from the ">" until the picture is shown.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "JpegEncoder.h"
#include "app/Bitmap32.h"
#include "app/JpegLoader.h"
#include "app/qt/QtApplication.h"
#include "app/qt/ufmivew.h"
#include "app/qt/widgets/ImageView.h"
#include "codecs/sfds_library_scope.h"
#include "codecs/sfds_zengine.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_writer.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

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

const std::string& Jpeg() {
    static const std::string Bytes = MakeJpeg();
    return Bytes;
}

void DecodeFromMemory(const std::string& Bytes) {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size());
    jpeg_read_header(&Info, TRUE);
    Info.scale_num = static_cast<unsigned>(JpegEighthsForView(PictureWidth, PictureHeight, View));
    Info.scale_denom = 8;
    jpeg_start_decompress(&Info);
    std::vector<unsigned char> Pixels(static_cast<std::size_t>(Info.output_width) * Info.output_height *
                                      Info.output_components);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW P = Pixels.data() + static_cast<std::size_t>(Info.output_scanline) * Info.output_width *
                                         Info.output_components;
        jpeg_read_scanlines(&Info, &P, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    benchmark::DoNotOptimize(Pixels.data());
}

// Seconds per decode of the plain libjpeg loop, measured once per run.
double BaselineSeconds() {
    static const double Seconds = [] {
        DecodeFromMemory(Jpeg());
        constexpr int Rounds = 5;
        QElapsedTimer T;
        T.start();
        for (int I = 0; I < Rounds; ++I) DecodeFromMemory(Jpeg());
        return static_cast<double>(T.nsecsElapsed()) / 1e9 / Rounds;
    }();
    return Seconds;
}

// A working folder with QMZBox\QMZImage.QMZ holding the picture twice, so
// that every ">" decodes a whole picture.
class TViewerFixture {
public:
    explicit TViewerFixture(std::uint8_t Format) {
        char Template[] = "/tmp/qmzbenchXXXXXX";
        FDir = ::mkdtemp(Template);
        ForceDirectories(FDir + "/QMZBox");
        {
            TSFDSFileWriter W(FDir + "/QMZBox/QMZImage.QMZ");
            W.AddBytes("one.jpg", Jpeg(), Format);
            W.AddBytes("two.jpg", Jpeg(), Format);
            W.Finish();
        }
        FSaved = GetCurrentDir();
        if (::chdir(FDir.c_str()) != 0) std::abort();
        Window = std::make_unique<TfmIView>();
        Window->Init();
        Window->resize(View.Width, View.Height);
        Window->show();
        QApplication::processEvents();
        Window->Timer1->stop();
    }
    ~TViewerFixture() {
        Window.reset();
        SFDS_FreeKeptReaders();
        if (::chdir(FSaved.c_str()) != 0) std::abort();
        std::system(("rm -rf '" + FDir + "'").c_str());
    }
    std::unique_ptr<TfmIView> Window;

private:
    std::string FDir, FSaved;
};

// ">" until the picture is shown: the decode runs on the viewer's worker,
// which wakes the window's thread when it is done.
void NextPicture(TfmIView& V) {
    V.JvTransparentButton3Click();
    while (V.Viewer().Waiting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    benchmark::DoNotOptimize(V.ImgView321->ScaledBitmap().Bits());
}

void BM_LibjpegFromMemory(benchmark::State& State) {
    for (auto _ : State) DecodeFromMemory(Jpeg());
    State.counters["jpeg_bytes"] = static_cast<double>(Jpeg().size());
}

void BM_ViewerNext(benchmark::State& State) {
    TViewerFixture F(static_cast<std::uint8_t>(State.range(0)));
    F.Window->SetPrefetch(false);
    const double Baseline = BaselineSeconds();
    QElapsedTimer T;
    std::int64_t Nanos = 0;
    for (auto _ : State) {
        T.start();
        NextPicture(*F.Window);
        Nanos += T.nsecsElapsed();
    }
    State.counters["vs_libjpeg"] = static_cast<double>(Nanos) / 1e9 / static_cast<double>(State.iterations()) / Baseline;
}

// Format 1 read by zlib: what the fast deflate engine gains on ">".
void BM_ViewerNextZLibEngine(benchmark::State& State) {
    const TZEngine Saved = ZDefaultEngine();
    ZSetDefaultEngine(TZEngine::ZLib);
    BM_ViewerNext(State);
    ZSetDefaultEngine(Saved);
}

void BM_ViewerNextPrefetched(benchmark::State& State) {
    TViewerFixture F(static_cast<std::uint8_t>(State.range(0)));
    F.Window->SetPrefetch(true);
    NextPicture(*F.Window);  // starts the first decode ahead
    double WorstMs = 0;
    for (auto _ : State) {
        State.PauseTiming();
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the user looks at the picture
        State.ResumeTiming();
        QElapsedTimer T;
        T.start();
        NextPicture(*F.Window);
        WorstMs = std::max(WorstMs, static_cast<double>(T.nsecsElapsed()) / 1e6);
    }
    State.counters["worst_ms"] = WorstMs;
}

}  // namespace

BENCHMARK(BM_LibjpegFromMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ViewerNext)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ViewerNextZLibEngine)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ViewerNextPrefetched)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TSFDSLibrary Library;
    TQMZApplication Application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("deflate_engine", ZFastEngineAvailable() ? "fast" : "zlib");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
