// The viewer core's peak memory and how soon Escape acts, on pictures that are
// huge or made to cost a decoder as much as possible, for a 1920 x 1080 view:
//   - a progressive 16384 x 16384 picture of 3000 scans (1.6 MB),
//   - two 23170 x 23170 pictures,
//   - a 12000 x 9000 photo;
// and, shown but not judged, the costliest progressive picture the decoder
// still takes: 4000 x 4000 in three full components and 300 scans, whose
// coefficients alone need 96 MB while it decodes.
// Each case runs in a process of its own, twice: browsing (the first picture,
// then ">" twice, each waited for until shown) for the peak resident memory,
// and Escape pressed 300 ms into the first picture's decode, for the time
// until the viewer has closed. The goal: the peak above the memory held once
// the archive is open is at most four views of 32-bit pixels; where even a
// decode at 1/8 leaves a picture larger than the view, two such pictures.
//   bench_app_viewer_memory [FOLDER]      makes the archives in FOLDER (a
//                                         temporary folder by default) and runs
//                                         every case
//   bench_app_viewer_memory --run browse|escape FOLDER
// Linux only: memory is read from /proc/self/status.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "JpegEncoder.h"
#include "app/PictureViewer.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_writer.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr TSize Screen{1920, 1080};
constexpr double MiB = 1024.0 * 1024.0;
// A case that has not finished by then is stopped, and its figures so far are
// reported as lower bounds.
constexpr int CaseLimitSeconds = 300;

// Kilobytes of a "Name:   123 kB" line of /proc/self/status.
double StatusBytes(const char* Name) {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    const std::string Key = std::string(Name) + ":";
    while (std::getline(Status, Line))
        if (Line.rfind(Key, 0) == 0) return std::atof(Line.c_str() + Key.size()) * 1024.0;
    return 0;
}

double Seconds(TClock::time_point From) { return std::chrono::duration<double>(TClock::now() - From).count(); }

// The view as the core sees it, and the window's closing as both front ends
// do it: the viewer is stopped.
class TBenchWindow : public TViewerWindow {
public:
    TSize ViewSize() const override { return Screen; }
    TPictureMemory ShowPicture(TBitmap32 Bitmap, float, TBitmap32 Scaled) override {
        TPictureMemory Previous{std::move(FBitmap), std::move(FScaled)};
        FBitmap = std::move(Bitmap);
        FScaled = std::move(Scaled);
        ++Shows;
        return Previous;
    }
    void CloseViewer() override {
        Viewer->Stop();
        Closed = true;
    }
    void QueuePictureReady() override { ++Posted; }

    TPictureViewer* Viewer = nullptr;
    int Shows = 0;
    bool Closed = false;
    std::atomic<int> Posted{0};

private:
    TBitmap32 FBitmap, FScaled;
};

// Runs one case in this process and prints its figures on one line:
// browse: peak bytes, bytes once the archive is open, pictures shown, errors, seconds;
// escape: seconds from Escape until the viewer closed.
int RunCase(const std::string& Mode, const std::string& Folder) {
    std::filesystem::current_path(Folder);
    TSFDSLibrary Library;
    TBenchWindow Window;
    TPictureViewer Viewer(Window);
    Window.Viewer = &Viewer;
    Viewer.Init();
    const double Open = StatusBytes("VmRSS");
    const auto Start = TClock::now();
    int Errors = 0;

    // Reports what there is when the case runs too long.
    std::atomic<bool> Done{false};
    std::thread Watchdog([&] {
        while (!Done) {
            if (Seconds(Start) > CaseLimitSeconds) {
                if (Mode == "browse")
                    std::printf("%.0f %.0f %d %d %.1f stopped\n", StatusBytes("VmHWM"), Open, Window.Shows, Errors,
                                Seconds(Start));
                else
                    std::printf("%.3f stopped\n", Seconds(Start) - 0.3);
                std::fflush(stdout);
                std::_Exit(0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });

    // One step of the user's, then the window's messages until it is done.
    const auto Act = [&](auto&& Step, auto&& Finished) {
        try {
            Step();
        } catch (const Exception&) {
            ++Errors;
        }
        while (!Finished()) {
            if (Window.Posted.exchange(0) > 0) {
                try {
                    Viewer.PictureReady();
                } catch (const Exception&) {
                    ++Errors;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };

    if (Mode == "browse") {
        for (int Step = 0; Step < 3; ++Step) {
            const int Before = Window.Shows, ErrorsBefore = Errors;
            Act([&] { Step == 0 ? Viewer.ShowFirstPicture() : Viewer.NextPicture(); },
                [&] { return Window.Shows > Before || Errors > ErrorsBefore; });
        }
        Viewer.Stop();
        std::printf("%.0f %.0f %d %d %.1f\n", StatusBytes("VmHWM"), Open, Window.Shows, Errors, Seconds(Start));
    } else {
        const auto Escape = Start + std::chrono::milliseconds(300);
        Act([&] { Viewer.ShowFirstPicture(); }, [&] { return TClock::now() >= Escape; });
        Viewer.Run(vcCloseViewer);
        std::printf("%.3f\n", std::chrono::duration<double>(TClock::now() - Escape).count());
    }
    Done = true;
    Watchdog.join();
    return 0;
}

// Camera-like content: smooth gradients with fine grain of Grain levels.
std::function<void(int, std::uint32_t*)> PhotoRows(int Width, int Height, int Grain) {
    return [Width, Height, Grain](int Y, std::uint32_t* Row) {
        std::uint32_t Seed = 12345u + static_cast<std::uint32_t>(Y) * 2654435761u;
        const auto Clamp = [](int V) { return static_cast<std::uint32_t>(V < 0 ? 0 : V > 255 ? 255 : V); };
        for (int X = 0; X < Width; ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const int G = static_cast<int>((Seed >> 24) % static_cast<std::uint32_t>(Grain)) - Grain / 2;
            Row[X] = 0xFF000000u | Clamp(static_cast<int>(std::int64_t{X} * 255 / Width) + G) << 16 |
                     Clamp(static_cast<int>(std::int64_t{Y} * 255 / Height) + G) << 8 |
                     Clamp(128 + (((X / 40) ^ (Y / 40)) & 63) + G);
        }
    };
}

struct TCase {
    const char* Name;
    const char* Folder;
    int Width, Height;
    int Pictures;  // stored entries, all the same picture
    bool Judged;
};
const TCase Cases[] = {
    {"progressive 16384x16384, 3000 scans", "progressive", 16384, 16384, 1, true},
    {"two 23170x23170 pictures", "huge", 23170, 23170, 2, true},
    {"12000x9000 photo", "photo", 12000, 9000, 1, true},
    {"progressive 4000x4000, 300 scans", "progressive-limit", 4000, 4000, 1, false},
};

std::string MakeJpeg(const TCase& C) {
    if (std::string(C.Folder) == "progressive") return ManyScanJpeg(C.Width, C.Height, 3, 3000);
    if (std::string(C.Folder) == "progressive-limit") return ManyScanJpeg(C.Width, C.Height, 3, 300);
    if (std::string(C.Folder) == "huge") return EncodeJpegRows(C.Width, C.Height, PhotoRows(C.Width, C.Height, 4), 75);
    return EncodeJpegRows(C.Width, C.Height, PhotoRows(C.Width, C.Height, 16), 90);
}

void MakeArchives(const std::filesystem::path& Root) {
    for (const TCase& C : Cases) {
        const std::filesystem::path Box = Root / C.Folder / "QMZBox";
        if (std::filesystem::exists(Box / "QMZImage.QMZ")) continue;
        std::fprintf(stderr, "making %s ...\n", C.Name);
        std::filesystem::create_directories(Box);
        const std::string Jpeg = MakeJpeg(C);
        TSFDSFileWriter W((Box / "QMZImage.QMZ").string());
        for (int I = 0; I < C.Pictures; ++I) W.AddBytes("picture" + std::to_string(I) + ".jpg", Jpeg, 0);
        W.Finish();
    }
}

std::string RunChild(const std::string& Self, const std::string& Mode, const std::filesystem::path& Folder) {
    const std::string Command = "'" + Self + "' --run " + Mode + " '" + Folder.string() + "'";
    FILE* Pipe = ::popen(Command.c_str(), "r");
    if (Pipe == nullptr) return {};
    char Line[256] = {};
    const bool Got = std::fgets(Line, sizeof Line, Pipe) != nullptr;
    ::pclose(Pipe);
    return Got ? std::string(Line) : std::string();
}

// Bytes the goal allows a case: four views of 32-bit pixels, or two pictures
// decoded at 1/8 where even that leaves a picture larger than the view.
double GoalBytes(const TCase& C) {
    const double Views = 4.0 * Screen.Width * Screen.Height * 4.0;
    const double Eighth = static_cast<double>((C.Width + 7) / 8) * static_cast<double>((C.Height + 7) / 8) * 4.0;
    return Eighth > static_cast<double>(Screen.Width) * Screen.Height * 4.0 ? std::max(Views, 2 * Eighth) : Views;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--run") return RunCase(argv[2], argv[3]);

    const std::filesystem::path Root =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "qmz-viewer-memory";
    {
        TSFDSLibrary Library;
        MakeArchives(Root);
    }
    const std::string Self = std::filesystem::canonical("/proc/self/exe").string();
    std::printf("view %dx%d; memory above what the archive, once open, holds; a case stops after %d s\n",
                Screen.Width, Screen.Height, CaseLimitSeconds);
    std::printf("%-38s %10s %10s %10s %8s %14s\n", "case", "peak MiB", "above", "goal MiB", "shown", "Escape acts");
    int Failed = 0;
    for (const TCase& C : Cases) {
        const std::filesystem::path Folder = std::filesystem::absolute(Root / C.Folder);
        double Peak = 0, Open = 0, Took = 0, EscapeSeconds = 0;
        int Shown = 0, Errors = 0;
        char Stopped[16] = {};
        const std::string Browse = RunChild(Self, "browse", Folder);
        std::sscanf(Browse.c_str(), "%lf %lf %d %d %lf %15s", &Peak, &Open, &Shown, &Errors, &Took, Stopped);
        char EscapeStopped[16] = {};
        const std::string Escape = RunChild(Self, "escape", Folder);
        std::sscanf(Escape.c_str(), "%lf %15s", &EscapeSeconds, EscapeStopped);
        const double Above = Peak - Open;
        const bool Met = !Browse.empty() && Above <= GoalBytes(C) && !Stopped[0];
        Failed += C.Judged && !Met;
        std::printf("%-38s %9.1f%s %10.1f %10.1f %4d/%-3d %11.0f ms%s  %s\n", C.Name, Peak / MiB,
                    Stopped[0] ? "+" : " ", Above / MiB, GoalBytes(C) / MiB, Shown, Errors, EscapeSeconds * 1000.0,
                    EscapeStopped[0] ? "+" : "", !C.Judged ? "not judged" : Met ? "ok" : "MISSED");
    }
    std::printf("shown: pictures shown / decoder errors of three steps; \"+\": the case was stopped, at least this\n");
    return Failed == 0 ? 0 : 1;
}
