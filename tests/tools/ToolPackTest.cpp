#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "support/TempDir.h"

namespace {

std::string Noise(std::size_t N, std::uint32_t Seed) {
    std::string S(N, '\0');
    std::uint32_t X = 2463534242u ^ Seed;
    for (char& C : S) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        C = static_cast<char>(X);
    }
    return S;
}

std::int64_t I64At(const std::string& S, std::size_t At) {
    std::uint64_t V = 0;
    for (int I = 7; I >= 0; --I) V = (V << 8) | static_cast<unsigned char>(S[At + static_cast<std::size_t>(I)]);
    return static_cast<std::int64_t>(V);
}

// The names in Folder, of every kind.
std::vector<std::string> Listing(const std::string& Folder) {
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Folder)) Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

}  // namespace

// A file size limit stops the archive part-way: in the entry data, or in the
// last bytes, where the compressed table is completed. pack fails with the
// system's reason and leaves no archive behind, also when the process does
// not die of the limit's signal (ignored by its parent).
TEST(ToolPack, AFileSizeLimitFailsWithTheSystemsReason) {
    if (ToolIsWindows()) GTEST_SKIP() << "a file size limit (ulimit -f) is a POSIX process limit; Windows has none";
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("many"));
    for (int I = 0; I < 80; ++I) WriteWholeFile(Dir.File("many/file" + std::to_string(I)), Noise(300, I));
    WriteWholeFile(Dir.File("big.bin"), Noise(1 << 20, 99));

    const std::string Clean = Dir.File("clean.sfds");
    TRun R = RunTool(Dir, {"pack", Clean, Dir.File("many"), "--format", "store", "--table-format", "zlib"});
    ASSERT_EQ(R.Code, 0) << R.Err;
    const std::string Bytes = ReadWholeFile(Clean);
    const std::int64_t TableStart = I64At(Bytes, 34);
    // The last whole 512-byte block below the end: the cut falls into the table.
    const std::int64_t TableBlocks = (static_cast<std::int64_t>(Bytes.size()) - 1) / 512;
    ASSERT_GT(TableBlocks * 512, TableStart);

    struct TCase {
        std::string Input, Format;
        std::int64_t Blocks;
    };
    const std::vector<TCase> Cases = {
        {Dir.File("big.bin"), "store", 64},  // in the entry data
        {Dir.File("big.bin"), "zlib", 64},  // in the compressed entry data
        {Dir.File("many"), "store", TableBlocks},  // the table's final flush
    };
    std::filesystem::create_directories(Dir.File("out"));
    for (const TCase& C : Cases) {
        for (const std::string Signal : {"", "trap '' XFSZ && "}) {
            for (const bool Earlier : {false, true}) {
                SCOPED_TRACE(C.Input + " " + C.Format + " " + std::to_string(C.Blocks) + " " + Signal +
                             (Earlier ? " over an earlier archive" : ""));
                const std::string Archive = Dir.File("out/limited.sfds");
                if (Earlier) std::filesystem::copy_file(Clean, Archive);
                R = RunToolAfter(Dir, Signal + "ulimit -f " + std::to_string(C.Blocks),
                                 {"pack", Archive, C.Input, "--format", C.Format, "--table-format", "zlib"});
                EXPECT_EQ(R.Code, 1);
                const std::string Expected = "sfds: Cannot write " + Archive + ": File too large\n";
                EXPECT_EQ(R.Err, Expected);
                // The earlier archive is untouched, and the new one is gone.
                if (Earlier) {
                    EXPECT_TRUE(ReadWholeFile(Archive) == Bytes);
                }
                EXPECT_EQ(Listing(Dir.File("out")), Earlier ? std::vector<std::string>{"limited.sfds"}
                                                            : std::vector<std::string>{});
                std::filesystem::remove(Archive);
            }
        }
    }
}

// An archive name that leads to a device refusing every write (a full disk)
// gets the system's reason; the device is not removed.
TEST(ToolPack, ARefusingDeviceIsReportedAndKept) {
    if (!std::filesystem::exists("/dev/full") || ToolIsWindows()) GTEST_SKIP() << "/dev/full is a Linux device";
    TTempDir Dir;
    WriteWholeFile(Dir.File("in.txt"), "data");
    std::filesystem::create_symlink("/dev/full", Dir.File("full.sfds"));
    const TRun R = RunTool(Dir, {"pack", Dir.File("full.sfds"), Dir.File("in.txt")});
    EXPECT_EQ(R.Code, 1);
    EXPECT_EQ(R.Err, "sfds: Cannot write " + Dir.File("full.sfds") + ": No space left on device\n");
    EXPECT_TRUE(std::filesystem::is_symlink(Dir.File("full.sfds")));
}

// Every file is read by the very name its folder listed, and a name that
// cannot be stored as it is stops the pack, named, before anything is
// written. Stored names separate folders with `\`, so on POSIX a `\` inside a
// name would read another file (`..\..\etc\hostname`) or the file of a
// folder of that name (`a\b` beside `a/b`). The Windows build cannot open
// names Windows reads otherwise, which Wine lists for such Unix files.
TEST(ToolPack, NamesAreReadAsListedAndRefusedWhenTheyCannotBeStored) {
    TTempDir Dir;
    struct TCase {
        std::string Name;  // one file or folder in a folder of its own, beside a plain file
        bool Folder;
        bool Refused;  // on this build
    };
    const bool Windows = ToolIsWindows();
    const std::vector<TCase> Cases = {
        {"..\\..\\..\\..\\..\\..\\..\\..\\etc\\hostname", false, true},
        {"a\\b", false, true},  // beside a folder a holding b: see below
        {"x\\y", true, true},
        {"q:r", false, Windows},
        {"dot.", false, Windows},
        {"blank ", false, Windows},
        {"nul.txt", false, Windows},
        {"CON", true, Windows},
    };
    for (std::size_t I = 0; I < Cases.size(); ++I) {
        const TCase& C = Cases[I];
        SCOPED_TRACE(C.Name);
        const std::string In = Dir.File("in" + std::to_string(I));
        std::filesystem::create_directories(In + "/a/b");
        WriteWholeFile(In + "/a/b/c", "folder's own");
        WriteWholeFile(In + "/plain", "plain");
        if (C.Folder) {
            std::filesystem::create_directories(In + "/" + C.Name);
            WriteWholeFile(In + "/" + C.Name + "/inner", "inner");
        } else {
            WriteWholeFile(In + "/" + C.Name, "own bytes");
        }
        const std::string Archive = Dir.File("out" + std::to_string(I) + "/box.sfds");
        TRun R = RunTool(Dir, {"pack", Archive, In});
        if (C.Refused) {
            EXPECT_EQ(R.Code, 1);
            EXPECT_NE(R.Err.find(C.Name + "\": "), std::string::npos) << R.Err;
            EXPECT_NE(R.Err.find("; nothing was written\n"), std::string::npos) << R.Err;
            EXPECT_FALSE(std::filesystem::exists(Dir.File("out" + std::to_string(I))));
            continue;
        }
        ASSERT_EQ(R.Code, 0) << R.Err;
        const std::string Stored = C.Folder ? C.Name + "\\inner" : C.Name;
        R = RunTool(Dir, {"cat", Archive + "::" + Stored});
        EXPECT_EQ(R.Code, 0) << R.Err;
        EXPECT_EQ(R.Out, C.Folder ? "inner" : "own bytes");
        EXPECT_EQ(RunTool(Dir, {"cat", Archive + "::a\\b\\c"}).Out, "folder's own");
    }
    // A file named by itself is stored under its bare name: the same rule.
    // (Windows reads such a name as a path through the folder a.)
    if (!Windows) {
        const TRun R = RunTool(Dir, {"pack", Dir.File("single.sfds"), Dir.File("in1/a\\b")});
        EXPECT_EQ(R.Code, 1);
        EXPECT_FALSE(std::filesystem::exists(Dir.File("single.sfds")));
    }
}

// A read the system refuses fails the pack with its reason; the entry is not
// stored cut short as if the file had ended.
TEST(ToolPack, AnInputThatCannotBeReadFailsThePack) {
    if (ToolIsWindows() || !std::filesystem::exists("/proc/self/mem"))
        GTEST_SKIP() << "/proc/self/mem, a file whose first bytes cannot be read, is a Linux file";
    TTempDir Dir;
    const TRun R = RunTool(Dir, {"pack", Dir.File("out.sfds"), "/proc/self/mem"});
    EXPECT_EQ(R.Code, 1);
    EXPECT_EQ(R.Err, "sfds: Cannot read /proc/self/mem: Input/output error\n");
    EXPECT_EQ(Listing(Dir.Path()), (std::vector<std::string>{"stderr", "stdout"}));
}

// An archive that is one of the inputs, or lies in an input folder (where a
// later pack of that folder would find it), is refused before anything is
// written; an input stays as it was.
TEST(ToolPack, AnArchiveAmongTheInputsIsRefused) {
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("in/sub"));
    std::filesystem::create_directories(Dir.File("in-other"));
    WriteWholeFile(Dir.File("in/a.txt"), "a");
    WriteWholeFile(Dir.File("in/old.sfds"), "kept");
    WriteWholeFile(Dir.File("in.txt"), "input");
    WriteWholeFile(Dir.File("o.txt"), "other");
    std::filesystem::create_hard_link(Dir.File("in.txt"), Dir.File("hard.sfds"));
    struct TCase {
        std::vector<std::string> Args;
        std::string Folder;  // the input folder named in the message; empty: "one of the inputs"
    };
    std::vector<TCase> Refused = {
        {{Dir.File("in.txt"), Dir.File("in.txt"), Dir.File("o.txt")}, ""},
        {{Dir.File("hard.sfds"), Dir.File("in.txt")}, ""},
        {{Dir.File("in/old.sfds"), Dir.File("in")}, ""},  // a file the walk finds
        {{Dir.File("in/new.sfds"), Dir.File("o.txt"), Dir.File("in")}, Dir.File("in")},
        {{Dir.File("in/sub/new.sfds"), Dir.File("in")}, Dir.File("in")},
        {{Dir.File("in"), Dir.File("in")}, Dir.File("in")},
    };
    // Names resolve without regard to case; folders still to be made count.
    // (The runner hands the Windows tool only names in existing folders as Z:
    // paths.)
    if (!ToolIsWindows()) {
        Refused.push_back({{Dir.File("IN/new.sfds"), Dir.File("in")}, Dir.File("in")});
        Refused.push_back({{Dir.File("in/sub/deeper/new.sfds"), Dir.File("in")}, Dir.File("in")});
    }
    for (const TCase& C : Refused) {
        SCOPED_TRACE(C.Args[0]);
        std::vector<std::string> Args{"pack"};
        Args.insert(Args.end(), C.Args.begin(), C.Args.end());
        const TRun R = RunTool(Dir, Args);
        EXPECT_EQ(R.Code, 1);
        const std::string Expected = C.Folder.empty()
                                         ? "Cannot write " + ToolSees(C.Args[0]) + ": it is one of the inputs"
                                         : "Cannot write " + ToolSees(C.Args[0]) + ": it lies in the input folder " +
                                               ToolSees(C.Folder) + " and would be packed from it";
        EXPECT_EQ(R.Err, "sfds: " + Expected + "; nothing was written\n");
    }
    EXPECT_EQ(ReadWholeFile(Dir.File("in.txt")), "input");
    EXPECT_EQ(ReadWholeFile(Dir.File("in/old.sfds")), "kept");
    EXPECT_EQ(Listing(Dir.File("in")), (std::vector<std::string>{"a.txt", "old.sfds", "sub"}));
    EXPECT_TRUE(std::filesystem::is_empty(Dir.File("in/sub")));

    // Beside the folder, or in a folder whose name only begins like it, is fine.
    for (const std::string& Archive : {Dir.File("in.sfds"), Dir.File("in-other/x.sfds")}) {
        SCOPED_TRACE(Archive);
        const TRun R = RunTool(Dir, {"pack", Archive, Dir.File("in")});
        EXPECT_EQ(R.Code, 0) << R.Err;
        EXPECT_EQ(RunTool(Dir, {"cat", Archive + "::old.sfds"}).Out, "kept");
    }
}

// Ctrl-C while the new archive is written leaves the earlier one as it was,
// and nothing else. The pack is held at a known point: the host file it
// copies first is a FIFO the test writes.
TEST(ToolPack, CtrlCKeepsTheArchiveItWouldHaveReplaced) {
    if (ToolIsWindows())
        GTEST_SKIP() << "the tool is held by a FIFO as its host file, which Wine cannot open as a file";
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("out"));
    WriteWholeFile(Dir.File("in.txt"), "new entry");
    const std::string Archive = Dir.File("out/box.sfds");
    const std::string Earlier = WriteContainer(Archive, [](TSFDSFileWriter& W) { W.AddBytes("old.txt", "old", 1); });
    const std::string EarlierBytes = ReadWholeFile(Earlier);
    ASSERT_EQ(::mkfifo(Dir.File("host").c_str(), 0600), 0);

    const pid_t Pid = Spawn({"pack", Archive, Dir.File("in.txt"), "--host", Dir.File("host")}, Dir.File("stdout"),
                            Dir.File("stderr"));
    ASSERT_GT(Pid, 0);
    // The FIFO opens for writing once the tool has opened it for reading.
    int Fd = -1;
    while ((Fd = ::open(Dir.File("host").c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
        ASSERT_EQ(errno, ENXIO);
        int Status = 0;
        ASSERT_EQ(::waitpid(Pid, &Status, WNOHANG), 0) << "the tool ended without reading its host: "
                                                       << ReadWholeFile(Dir.File("stderr"));
        ::usleep(1000);
    }
    ::fcntl(Fd, F_SETFL, O_WRONLY);
    const std::string Chunk(65536, 'h');
    ASSERT_EQ(::write(Fd, Chunk.data(), Chunk.size()), static_cast<ssize_t>(Chunk.size()));
    ::kill(Pid, SIGINT);
    ::close(Fd);
    EXPECT_EQ(Wait(Pid), 21);
    EXPECT_EQ(ReadWholeFile(Dir.File("stderr")), "sfds: Operation aborted by user.\n");
    EXPECT_TRUE(ReadWholeFile(Archive) == EarlierBytes);
    EXPECT_EQ(Listing(Dir.File("out")), std::vector<std::string>{"box.sfds"});

    // Uninterrupted, the new archive takes the earlier one's place.
    const TRun R = RunTool(Dir, {"pack", Archive, Dir.File("in.txt")});
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(RunTool(Dir, {"list", Archive}).Out.substr(0, 7), "in.txt\t");
    EXPECT_EQ(Listing(Dir.File("out")), std::vector<std::string>{"box.sfds"});
}

// The entries' order is the order the viewer shows pictures in: by default
// natural (2.jpg before 10.jpg), over every entry; --order picks another.
TEST(ToolPack, EntriesComeInTheOrderAsked) {
    TTempDir Dir;
    std::vector<std::string> Numbered;  // 1.jpg ... 20.jpg
    for (int I = 1; I <= 20; ++I) Numbered.push_back(std::to_string(I) + ".jpg");
    std::filesystem::create_directories(Dir.File("pics/Extra"));
    for (const std::string& Name : Numbered) WriteWholeFile(Dir.File("pics/" + Name), Name);
    WriteWholeFile(Dir.File("pics/Extra/3.jpg"), "extra");
    WriteWholeFile(Dir.File("cover.jpg"), "cover");

    std::vector<std::string> Bytewise = Numbered;
    std::sort(Bytewise.begin(), Bytewise.end());
    const auto Join = [](std::vector<std::string> Head, const std::vector<std::string>& Tail) {
        Head.insert(Head.end(), Tail.begin(), Tail.end());
        return Head;
    };
    struct TCase {
        std::vector<std::string> Options;
        std::vector<std::string> Names;
    };
    const std::vector<TCase> Cases = {
        // Letters without case: cover before Extra.
        {{}, Join(Numbered, {"cover.jpg", "Extra\\3.jpg"})},
        {{"--order", "natural"}, Join(Numbered, {"cover.jpg", "Extra\\3.jpg"})},
        {{"--order", "name"}, Join(Bytewise, {"Extra\\3.jpg", "cover.jpg"})},
        {{"--order", "given"}, Join(Join({"cover.jpg"}, Bytewise), {"Extra\\3.jpg"})},
    };
    for (const TCase& C : Cases) {
        const std::string Label = C.Options.empty() ? "default" : C.Options[1];
        SCOPED_TRACE(Label);
        const std::string Archive = Dir.File(Label + ".sfds");
        std::vector<std::string> Args = Join({"pack", Archive, Dir.File("cover.jpg"), Dir.File("pics")}, C.Options);
        TRun R = RunTool(Dir, Args);
        ASSERT_EQ(R.Code, 0) << R.Err;
        R = RunTool(Dir, {"list", Archive});
        std::vector<std::string> Listed;
        for (std::size_t At = 0; At < R.Out.size(); At = R.Out.find('\n', At) + 1)
            Listed.push_back(R.Out.substr(At, R.Out.find('\t', At) - At));
        EXPECT_EQ(Listed, C.Names);
    }
}
