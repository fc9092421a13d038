// Runs the built `qmzmedium` tool as an author does: media built from
// pictures made here, checked, and refused, with what is left on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "JpegEncoder.h"
#include "app/Bitmap32.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_writer.h"
#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace fs = std::filesystem;

namespace {

// The tool under test: the one built beside these tests, or QMZMEDIUM_TOOL
// (a runner that starts the Windows build under Wine).
std::string MediumProgram() {
    const char* Env = std::getenv("QMZMEDIUM_TOOL");
    return Env && *Env ? Env : QMZMEDIUM_TOOL_PATH;
}

std::string Picture(int Index, int Width = 48, int Height = 32) {
    TBitmap32 Img(Width, Height);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            Img.Line(Y)[X] = 0xFF000000u | static_cast<std::uint32_t>((Index * 40 + X) & 0xFF) << 16 |
                             static_cast<std::uint32_t>((Y * 5) & 0xFF);
    return EncodeJpeg(Img);
}

// A tiny PNG: signature and header chunk are enough for any decoder to say
// what it is.
const std::string PngBytes = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0", 29);

// The headers of a Windows program for Machine: a DOS header pointing at a
// PE signature and the machine field.
std::string ProgramStandIn(std::uint16_t Machine) {
    std::string Bytes(64, '\0');
    Bytes[0] = 'M', Bytes[1] = 'Z', Bytes[60] = 64;
    Bytes += std::string("PE\0\0", 4);
    Bytes += static_cast<char>(Machine & 0xFF);
    Bytes += static_cast<char>(Machine >> 8);
    return Bytes + std::string(200, '\0');
}

// The launcher as far as the tool looks at it: a 32-bit Windows program.
const std::string LauncherBytes = ProgramStandIn(0x014C);

bool Contains(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }

// Every name directly in Folder.
std::vector<std::string> NamesIn(const std::string& Folder) {
    std::vector<std::string> Names;
    for (const fs::directory_entry& E : fs::directory_iterator(Folder)) Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

// The stored names of an archive in table order.
std::vector<std::string> ArchiveNames(const std::string& FileName) {
    TSFDSFileReader R(FileName, 0, nullptr, nullptr, TSFDSOnReadFileEntry{}, false, sarmNone);
    std::vector<std::string> Names;
    for (std::int32_t I = 0; I < R.FileCount(); ++I) Names.push_back(R.FileEntrys().Items(I)->FileName);
    return Names;
}

class MediumTool : public ::testing::Test {
protected:
    TTempDir Dir;
    TTempDir Out;  // the tool's standard output and error

    TRun Run(const std::vector<std::string>& Args) { return RunProgram(Out, MediumProgram(), Args); }

    std::string Write(const std::string& Name, const std::string& Bytes) {
        fs::create_directories(fs::path(Dir.File(Name)).parent_path());
        WriteWholeFile(Dir.File(Name), Bytes);
        return Dir.File(Name);
    }
    std::string Launcher() { return Write("QMZRun.exe", LauncherBytes); }
    // A folder of pictures 1.jpg .. Count.jpg.
    std::string Pictures(int Count, const std::string& Folder = "photos") {
        for (int I = 1; I <= Count; ++I) Write(Folder + "/" + std::to_string(I) + ".jpg", Picture(I));
        return Dir.File(Folder);
    }
    // A medium folder made by hand: the launcher, and QMZBox with Files
    // (name, bytes) and the archive holding Entries (name, bytes) when given.
    std::string HandMade(const std::vector<std::pair<std::string, std::string>>& Files,
                         const std::vector<std::pair<std::string, std::string>>* Entries) {
        Write("medium/QMZRun.exe", LauncherBytes);
        fs::create_directories(Dir.File("medium/QMZBox"));
        for (const auto& [Name, Bytes] : Files) Write("medium/QMZBox/" + Name, Bytes);
        if (Entries != nullptr) {
            TSFDSFileWriter W(Dir.File("medium/QMZBox/QMZImage.QMZ"));
            for (const auto& [Name, Bytes] : *Entries) {
                Write("entry.tmp", Bytes);
                W.AddFile(Dir.File("entry.tmp"), Name, 0);
            }
            W.Finish();
            fs::remove(Dir.File("entry.tmp"));
        }
        return Dir.File("medium");
    }
};

TEST_F(MediumTool, BuildLaysOutTheMediumWithPicturesInNaturalOrderAndChecksIt) {
    const std::string Photos = Pictures(20);
    const std::string Intro = Write("intro.mp4", std::string(300000, 'v'));
    const std::string Film = Write("Film.MKV", "film");
    const TRun R = Run({"build", Dir.File("disc"), "--pictures", Photos, "--videos", Intro, Film, "--exe", Launcher(),
                        "--label", "Summer 2026"});
    ASSERT_EQ(R.Code, 0) << R.Out << R.Err;

    EXPECT_EQ(NamesIn(Dir.File("disc")), (std::vector<std::string>{"QMZBox", "QMZRun.exe", "autorun.inf"}));
    EXPECT_EQ(NamesIn(Dir.File("disc/QMZBox")), (std::vector<std::string>{"Film.MKV", "QMZImage.QMZ", "intro.mp4"}));
    EXPECT_EQ(ReadWholeFile(Dir.File("disc/QMZRun.exe")), LauncherBytes);
    EXPECT_EQ(ReadWholeFile(Dir.File("disc/QMZBox/intro.mp4")), ReadWholeFile(Intro));
    EXPECT_EQ(ReadWholeFile(Dir.File("disc/QMZBox/Film.MKV")), "film");
    EXPECT_EQ(ReadWholeFile(Dir.File("disc/autorun.inf")),
              "[autorun]\r\nopen=QMZRun.exe\r\nicon=QMZRun.exe,0\r\nlabel=Summer 2026\r\n");

    std::vector<std::string> Expected;
    for (int I = 1; I <= 20; ++I) Expected.push_back(std::to_string(I) + ".jpg");
    EXPECT_EQ(ArchiveNames(Dir.File("disc/QMZBox/QMZImage.QMZ")), Expected);
    // Stored as they are: JPEG data does not shrink.
    TSFDSFileReader Reader(Dir.File("disc/QMZBox/QMZImage.QMZ"), 0, nullptr, nullptr, TSFDSOnReadFileEntry{}, false,
                           sarmNone);
    for (std::int32_t I = 0; I < Reader.FileCount(); ++I)
        EXPECT_EQ(Reader.FileEntrys().Items(I)->CompressionFormat, 0) << I;

    // The check's report, in the viewer's order, ends the build.
    EXPECT_TRUE(Contains(R.Out, "Outcome: videos and pictures")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "Video: intro.mp4\n")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "Video: Film.MKV\n")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "Pictures: QMZBox\\QMZImage.QMZ, 20 entries")) << R.Out;
    EXPECT_LT(R.Out.find("\n9.jpg: OK 48 x 32\n"), R.Out.find("\n10.jpg: OK 48 x 32\n")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "No problems; pictures: 20, videos: 2\n")) << R.Out;
    EXPECT_EQ(R.Err, "");

    // Only the medium is left beside it.
    EXPECT_EQ(NamesIn(Dir.Path()), (std::vector<std::string>{"Film.MKV", "QMZRun.exe", "disc", "intro.mp4", "photos"}));
    const TRun Again = Run({"check", Dir.File("disc")});
    EXPECT_EQ(Again.Code, 0) << Again.Out;
}

TEST_F(MediumTool, CheckSaysWhatTheLauncherDoes) {
    const std::vector<std::pair<std::string, std::string>> Good{{"1.jpg", Picture(1)}, {"2.jpg", Picture(2)}};
    const std::vector<std::pair<std::string, std::string>> None;
    struct TCase {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Files;
        const std::vector<std::pair<std::string, std::string>>* Entries;
        int Code;
        std::vector<std::string> Lines;
    } Cases[] = {
        {"pictures only", {}, &Good, 0,
         {"Outcome: pictures only, the viewer opens full screen", "1.jpg: OK 48 x 32", "2.jpg: OK 48 x 32",
          "No problems; pictures: 2, videos: 0"}},
        {"videos only", {{"a.wmv", "v"}, {"b.avi", "v"}, {"notes.txt", "t"}}, nullptr, 0,
         {"Outcome: videos only", "Video: a.wmv", "Video: b.avi", "No problems; pictures: 0, videos: 2"}},
        {"nothing", {{"notes.txt", "t"}, {"qmzimage.qmz", "t"}}, nullptr, 1,
         {"Outcome: FAILED, nothing to run, the launcher says \"실행할 컨텐츠가 없습니다\"", "1 problems"}},
        {"a PNG and a text file in the archive",
         {},
         nullptr,  // set below
         1,
         {"1.jpg: OK 48 x 32", "cover.png: FAILED, the viewer shows \"JPEG error #53.\"",
          "notes.txt: FAILED, the viewer shows \"JPEG error #53.\"", "2 problems"}},
        {"no container", {{"QMZImage.QMZ", "not a container"}}, nullptr, 1,
         {"Pictures: FAILED, the viewer warns \"The selected file is not a SFDS valid file.\""}},
        {"an empty archive", {}, &None, 1, {"Pictures: FAILED, the archive holds no pictures"}},
    };
    const std::vector<std::pair<std::string, std::string>> Mixed{
        {"1.jpg", Picture(1)}, {"cover.png", PngBytes}, {"notes.txt", "hello\n"}};
    Cases[3].Entries = &Mixed;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        fs::remove_all(Dir.File("medium"));
        const TRun R = Run({"check", HandMade(C.Files, C.Entries)});
        EXPECT_EQ(R.Code, C.Code) << R.Out << R.Err;
        for (const std::string& L : C.Lines) EXPECT_TRUE(Contains(R.Out, L)) << L << "\n" << R.Out;
    }
}

TEST_F(MediumTool, CheckNamesAnEntryThatDoesNotReadBack) {
    const std::string Second = Picture(2);
    const std::vector<std::pair<std::string, std::string>> Entries{{"1.jpg", Picture(1)}, {"2.jpg", Second}};
    const std::string Medium = HandMade({}, &Entries);
    // Stored as they are: a byte of the second picture's data changes, and
    // its digest no longer matches.
    std::string Archive = ReadWholeFile(Medium + "/QMZBox/QMZImage.QMZ");
    const std::size_t At = Archive.find(Second);
    ASSERT_NE(At, std::string::npos);
    Archive[At + Second.size() / 2] = static_cast<char>(Archive[At + Second.size() / 2] ^ 0x55);
    WriteWholeFile(Medium + "/QMZBox/QMZImage.QMZ", Archive);

    const TRun R = Run({"check", Medium});
    EXPECT_EQ(R.Code, 1) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "1.jpg: OK")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "2.jpg: FAILED (")) << R.Out;
    EXPECT_TRUE(Contains(R.Out, "1 problems")) << R.Out;
}

TEST_F(MediumTool, CheckNamesTheLauncherAndItsKind) {
    const std::vector<std::pair<std::string, std::string>> Entries{{"1.jpg", Picture(1)}};
    struct TCase {
        const char* Name;
        std::optional<std::string> Launcher;
        int Code;
        std::string Line;
    } Cases[] = {
        {"none", std::nullopt, 1, "Launcher: MISSING: no QMZRun.exe at the medium's root"},
        {"a text file", std::string("hello"), 1, "Launcher: FAILED: QMZRun.exe is not a Windows program"},
        {"32-bit", ProgramStandIn(0x014C), 0, "Launcher: QMZRun.exe, 32-bit, starts on 32-bit and 64-bit Windows"},
        {"64-bit", ProgramStandIn(0x8664), 0, "Launcher: QMZRun.exe, 64-bit: it does not start on 32-bit Windows"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        fs::remove_all(Dir.File("medium"));
        const std::string Medium = HandMade({}, &Entries);
        fs::remove(Medium + "/QMZRun.exe");
        if (C.Launcher) WriteWholeFile(Medium + "/QMZRun.exe", *C.Launcher);
        const TRun R = Run({"check", Medium});
        EXPECT_EQ(R.Code, C.Code) << R.Out;
        EXPECT_TRUE(Contains(R.Out, C.Line)) << R.Out;
    }
}

// Whatever stops a build, nothing of the medium is left: no medium folder, no
// folder it was being made in, and a folder that was there is as it was.
TEST_F(MediumTool, AFailedBuildLeavesNothingHalfMade) {
    const std::string Photos = Pictures(3);
    Write("mixed/1.jpg", Picture(1));
    Write("mixed/2.png", PngBytes);
    const std::string NotAVideo = Write("clip.mov", "v");
    const std::string NotAProgram = Write("QMZRun.txt", "text");
    Write("taken/keep.txt", "kept");
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::string Error;
    } Cases[] = {
        {"a PNG among the pictures", {"--pictures", Dir.File("mixed")}, "was not built"},
        {"no such pictures folder", {"--pictures", Dir.File("nowhere")}, "is not a folder of pictures"},
        {"a video the launcher does not see", {"--pictures", Photos, "--videos", NotAVideo}, "is not a video"},
        {"a launcher that is no Windows program", {"--pictures", Photos, "--exe", NotAProgram},
         "is not a Windows program"},
        {"no launcher", {"--pictures", Photos, "--exe", Dir.File("none.exe")}, "no launcher at"},
        {"a label over two lines", {"--pictures", Photos, "--label", "a\r\nopen=evil.exe"}, "control character"},
    };
    const std::string Exe = Launcher();
    const std::vector<std::string> Before = NamesIn(Dir.Path());
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::vector<std::string> Args{"build", Dir.File("disc")};
        Args.insert(Args.end(), C.Args.begin(), C.Args.end());
        if (std::find(Args.begin(), Args.end(), "--exe") == Args.end()) Args.insert(Args.end(), {"--exe", Exe});
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 1) << R.Out << R.Err;
        EXPECT_EQ(R.Err.rfind("qmzmedium: ", 0), 0u) << R.Err;
        EXPECT_TRUE(Contains(R.Err, C.Error)) << R.Err;
        EXPECT_EQ(NamesIn(Dir.Path()), Before);
    }
    // A name the archive cannot store: the packing refuses it before it writes anything. (Linux only: no
    // Windows program sees a name holding a backslash.)
    if (std::getenv("QMZMEDIUM_TOOL") == nullptr) {
        Write("odd/a\\b.jpg", Picture(1));
        const TRun Odd = Run({"build", Dir.File("disc"), "--pictures", Dir.File("odd"), "--exe", Exe});
        EXPECT_EQ(Odd.Code, 1);
        EXPECT_TRUE(Contains(Odd.Err, "qmzmedium: Cannot build " + Dir.File("disc") + ": the pictures could not be"))
            << Odd.Err;
        fs::remove_all(Dir.File("odd"));
        EXPECT_EQ(NamesIn(Dir.Path()), Before);
    }
    const TRun Taken = Run({"build", Dir.File("taken"), "--pictures", Photos, "--exe", Exe});
    EXPECT_EQ(Taken.Code, 1);
    EXPECT_TRUE(Contains(Taken.Err, "exists and is not an empty folder")) << Taken.Err;
    EXPECT_EQ(NamesIn(Dir.File("taken")), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(NamesIn(Dir.Path()), Before);
}

TEST_F(MediumTool, AnEmptyFolderBecomesTheMedium) {
    fs::create_directory(Dir.File("disc"));
    const TRun R = Run({"build", Dir.File("disc"), "--pictures", Pictures(2), "--exe", Launcher()});
    ASSERT_EQ(R.Code, 0) << R.Out << R.Err;
    EXPECT_EQ(NamesIn(Dir.File("disc")), (std::vector<std::string>{"QMZBox", "QMZRun.exe", "autorun.inf"}));
    EXPECT_TRUE(Contains(R.Out, "Outcome: pictures only")) << R.Out;
    EXPECT_TRUE(Contains(ReadWholeFile(Dir.File("disc/autorun.inf")), "label=QMZRun\r\n"));
}

TEST_F(MediumTool, CommandLine) {
    const TRun Version = Run({"--version"});
    EXPECT_EQ(Version.Code, 0);
    EXPECT_EQ(Version.Out, std::string("qmzmedium (QMZRun) ") + QMZ_VERSION + "\n");
    EXPECT_EQ(Run({"-V"}).Out, Version.Out);

    const TRun Typo = Run({"chek", Dir.Path()});
    EXPECT_EQ(Typo.Code, 2);
    EXPECT_EQ(Typo.Err.rfind("qmzmedium: Unknown command \"chek\"; did you mean \"check\"?\n", 0), 0u) << Typo.Err;

    const TRun Missing = Run({"build", Dir.File("disc")});
    EXPECT_EQ(Missing.Code, 2);
    EXPECT_EQ(Missing.Err.rfind("qmzmedium: ", 0), 0u) << Missing.Err;

    const TRun Help = Run({"build", "--help"});
    EXPECT_EQ(Help.Code, 0);
    EXPECT_TRUE(Contains(Help.Out, "Examples:\n  qmzmedium build")) << Help.Out;
}

}  // namespace
