#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_writer.h"
#include "support/TempDir.h"
#include "ToolRun.h"

namespace {

std::string MD5Hex(const std::string& Bytes) {
    TMD5Digest D;
    MD5OfBuffer(Bytes.data(), Bytes.size(), D);
    static const char* Hex = "0123456789abcdef";
    std::string S;
    for (std::uint8_t B : D.v) {
        S += Hex[B >> 4];
        S += Hex[B & 15];
    }
    return S;
}

std::string Pattern(std::size_t N, unsigned Seed, bool Text) {
    std::string S(N, '\0');
    std::uint32_t X = 2463534242u ^ Seed;
    for (std::size_t I = 0; I < N; ++I) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        S[I] = Text ? static_cast<char>('a' + X % 7 + (I % 61 == 0 ? -87 : 0)) : static_cast<char>(X);
    }
    return S;
}

class SfdsToolTest : public testing::Test {
protected:
    TRun Run(const std::vector<std::string>& Args) { return RunTool(Dir, Args); }

    // Writes a container with the library's writer (for damaged fixtures).
    std::string Container(const std::string& Name, const std::function<void(TSFDSTestWriter&)>& Setup) {
        return WriteContainer(Dir.File(Name), Setup);
    }

    // name (with '/') -> bytes
    std::map<std::string, std::string> MakeTree(const std::string& Root) {
        std::map<std::string, std::string> Files = {
            {"a.jpg", Pattern(100000, 1, false)},
            {"empty", ""},
            {"sub/b.txt", Pattern(300000, 2, true)},
            {"sub/deeper/c.bin", Pattern(32768, 3, true)},
            {"sub/\xEC\x82\xAC\xEC\xA7\x84.jpg", Pattern(5000, 4, false)},
        };
        for (const auto& [Name, Bytes] : Files) {
            std::filesystem::create_directories(std::filesystem::path(Root + "/" + Name).parent_path());
            WriteWholeFile(Root + "/" + Name, Bytes);
        }
        return Files;
    }

    TTempDir Dir;
};

std::string Stored(std::string Name) {
    std::replace(Name.begin(), Name.end(), '/', '\\');
    return Name;
}

}  // namespace

TEST_F(SfdsToolTest, PackTestExtractAndListRoundTripInEveryFormat) {
    const auto Files = MakeTree(Dir.File("photos"));
    const std::vector<std::pair<std::string, int>> Formats = {{"store", 0}, {"zlib", 1}, {"bzip2", 2}};
    for (std::size_t F = 0; F < Formats.size(); ++F) {
        const auto& [Format, ID] = Formats[F];
        SCOPED_TRACE(Format);
        const std::string Archive = Dir.File(Format + ".sfds");
        const std::string TableFormat = Formats[(F + 1) % Formats.size()].first;
        TRun R = Run({"pack", Archive, Dir.File("photos/"), "--format", Format, "--level", "max", "--table-format",
                      TableFormat, "--title", "Holiday", "--author", "Kim", "--keywords", "sea;sun"});
        ASSERT_EQ(R.Code, 0) << R.Err;

        R = Run({"test", Archive});
        EXPECT_EQ(R.Code, 0) << R.Out << R.Err;
        for (const auto& [Name, Bytes] : Files) EXPECT_NE(R.Out.find(Stored(Name) + ": OK\n"), std::string::npos);

        const std::string Out = Dir.File("out-" + Format);
        R = Run({"extract", Archive, Out});
        EXPECT_EQ(R.Code, 0) << R.Err;
        for (const auto& [Name, Bytes] : Files) EXPECT_EQ(ReadWholeFile(Out + "/" + Name), Bytes) << Name;

        R = Run({"list", Archive, "--json"});
        ASSERT_EQ(R.Code, 0) << R.Err;
        const nlohmann::json J = nlohmann::json::parse(R.Out);
        EXPECT_EQ(J["start_offset"], 0);
        EXPECT_EQ(J["file_count"], Files.size());
        EXPECT_EQ(J["title"], "Holiday");
        EXPECT_EQ(J["author"], "Kim");
        EXPECT_EQ(J["keywords"], "sea;sun");
        EXPECT_TRUE(J["time_create"].is_number());
        EXPECT_TRUE(J["extra"].is_array());
        std::int64_t Total = 0;
        ASSERT_EQ(J["entries"].size(), Files.size());
        std::size_t I = 0;
        for (const auto& [Name, Bytes] : Files) {  // in natural order, here the byte order of the names
            const nlohmann::json& E = J["entries"][I++];
            EXPECT_EQ(E["name"], Stored(Name));
            EXPECT_EQ(E["original_name"], Stored(Name));
            EXPECT_EQ(E["size"], Bytes.size());
            EXPECT_EQ(E["packed"], E["end"].get<std::int64_t>() - E["start"].get<std::int64_t>());
            EXPECT_EQ(E["format"], ID);
            EXPECT_EQ(E["level"], 2);
            EXPECT_EQ(E["md5"], MD5Hex(Bytes));
            EXPECT_TRUE(E["attributes"].is_number() && E["extra_str"].is_string() && E["extra_int"].is_number());
            Total += static_cast<std::int64_t>(Bytes.size());
        }
        EXPECT_EQ(J["all_files_size"], Total);

        R = Run({"list", Archive});
        EXPECT_EQ(R.Code, 0);
        EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), static_cast<long>(Files.size()));
        EXPECT_NE(R.Out.find("sub\\b.txt\t300000\t"), std::string::npos);
        EXPECT_NE(R.Out.find("\t" + Format + "\t" + MD5Hex(Files.at("sub/b.txt")) + "\n"), std::string::npos);

        R = Run({"cat", Archive + "::SUB\\B.TXT"});
        EXPECT_EQ(R.Code, 0);
        EXPECT_EQ(R.Out, Files.at("sub/b.txt"));
    }
}

TEST_F(SfdsToolTest, PackIntoAHostFindsTheContainerThroughItsLocator) {
    const std::string Host = Pattern(1000, 5, false);
    WriteWholeFile(Dir.File("host.bin"), Host);
    WriteWholeFile(Dir.File("in.txt"), "inside");
    for (const char* Locator : {"head", "tail"}) {
        SCOPED_TRACE(Locator);
        const std::string Archive = Dir.File(std::string(Locator) + ".bin");
        TRun R = Run({"pack", Archive, Dir.File("in.txt"), "--host", Dir.File("host.bin"), "--locator", Locator});
        ASSERT_EQ(R.Code, 0) << R.Err;
        R = Run({"list", "--json", Archive});
        ASSERT_EQ(R.Code, 0) << R.Err;
        EXPECT_EQ(nlohmann::json::parse(R.Out)["start_offset"], Host.size());
        EXPECT_EQ(Run({"test", Archive}).Out, "in.txt: OK\n");
        R = Run({"info", Archive});
        EXPECT_NE(R.Out.find("Container start:  1000\n"), std::string::npos) << R.Out;
    }
}

TEST_F(SfdsToolTest, ExitCodesAndMessages) {
    const std::string Good = Container("good.sfds", [](TSFDSFileWriter& W) { W.AddBytes("a.txt", "alpha", 1); });
    WriteWholeFile(Dir.File("plain.txt"), std::string(200, 'x'));
    const std::string Incomplete =
        Container("incomplete.sfds", [](TSFDSTestWriter& W) { W.Overrides().CompletionFlag = 0; });
    const std::string Corrupt = Container("corrupt.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("ok.txt", "fine", 0);
        W.AddBytes("bad.txt", "payload", 0);
        W.Entry(1).MD5Digest.v[0] ^= 1;
    });
    const std::string Evil = Container("evil.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("../escaped.txt", "evil", 0);
        W.AddBytes("fine.txt", "fine", 0);
    });
    struct TCase {
        std::vector<std::string> Args;
        int Code;
        std::string Err;  // expected on standard error (a prefix), or empty
    };
    const std::vector<TCase> Cases = {
        {{"list", Dir.File("missing.sfds")}, 1, "sfds: Cannot open file \""},
        {{"list", "/no-such-folder/a.sfds"}, 1, "sfds: Cannot open file \""},  // a path, never an option
        // A message of two lines: each starts with the program's name.
        {{"list", Dir.File("plain.txt")}, 1,
         "sfds: This file is not a SFDS file:\r\nsfds: \"" + ToolSees(Dir.File("plain.txt")) + "\"\n"},
        {{"list", Incomplete}, 1, "sfds: This SFDS file is incomplete:\r\nsfds: \"" + ToolSees(Incomplete) + "\"\n"},
        {{"info", Incomplete}, 1, "sfds: This SFDS file is incomplete:\r\nsfds: \""},
        {{"test", Incomplete}, 1, "sfds: This SFDS file is incomplete:\r\nsfds: \""},
        {{"extract", Incomplete, Dir.File("x")}, 1, "sfds: This SFDS file is incomplete:\r\nsfds: \""},
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"list"}, 2, ""},
        {{"pack", Dir.File("p.sfds"), Dir.File("plain.txt"), "--format", "lzma"}, 2, ""},
        {{"pack", Dir.File("p.sfds"), Dir.File("plain.txt"), "--locator", "head"}, 2, ""},
        {{"list", Good, "--codepage", "NO-SUCH-CODEPAGE"}, 2, "sfds: Unknown code page: NO-SUCH-CODEPAGE"},
        {{"cat", Good}, 2, ""},
        {{"test", Corrupt}, 13, ""},
        {{"extract", Evil, Dir.File("evil-out")},
         16,
         "sfds: " + ToolSees(Evil) + "::../escaped.txt: FAILED (16) Stored file name leads outside"},
        {{"test", Evil}, 0, ""},  // a test writes nothing: such a name is verified like any other
        {{"cat", Good + "::nope"}, 15, "sfds: " + ToolSees(Good + "::nope") + ": Requested stream can't be opened because it does not exist.\n"},
        {{"--help"}, 0, ""},
        {{"pack", "--help"}, 0, ""},
        {{"list", Good, "--codepage", "CP949", "--rename", "unix", "--unique"}, 0, ""},
    };
    for (const TCase& C : Cases) {
        std::string Label;
        for (const std::string& A : C.Args) Label += A + " ";
        SCOPED_TRACE(Label);
        const TRun R = Run(C.Args);
        EXPECT_EQ(R.Code, C.Code) << R.Err;
        if (!C.Err.empty()) {
            EXPECT_EQ(R.Err.substr(0, C.Err.size()), C.Err);
        }
    }
    // The failing test names every entry and its failure; the escape wrote nothing.
    const TRun R = Run({"test", Corrupt});
    EXPECT_NE(R.Out.find("ok.txt: OK\n"), std::string::npos);
    EXPECT_NE(R.Out.find("bad.txt: FAILED (13) MD5 Error in SFDS file: \""), std::string::npos) << R.Out;
    EXPECT_FALSE(std::filesystem::exists(Dir.File("escaped.txt")));
    EXPECT_EQ(ReadWholeFile(Dir.File("evil-out/fine.txt")), "fine");
    const TRun Help = Run({"extract", "--help"});
    EXPECT_NE(Help.Out.find("DESTDIR"), std::string::npos);
}

TEST_F(SfdsToolTest, OnlyExtractionRefusesNamesThatLeaveTheDestination) {
    const std::vector<std::string> Names = {"..\\x", "/etc/x", "a:b", "", std::string("a\0b", 3)};
    const std::string Archive = Container("names.sfds", [&](TSFDSFileWriter& W) {
        for (const std::string& N : Names) W.AddBytes(N, "data", 1);
        W.AddBytes("fine.txt", "fine", 0);
    });
    const TRun Test = Run({"test", Archive});
    EXPECT_EQ(Test.Code, 0) << Test.Out << Test.Err;

    std::filesystem::create_directories(Dir.File("out"));
    const TRun Extract = Run({"extract", Archive, Dir.File("out")});
    EXPECT_EQ(Extract.Code, 16);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/fine.txt")), "fine");
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out/a")));
}

// Links planted in the destination lead out of it. The Windows build meets
// them as Wine shows POSIX links: a link to a folder as a reparse point by
// its name only, one to a file as that file; whatever it sees, it writes
// nothing outside.
TEST_F(SfdsToolTest, ExtractionNeverWritesThroughLinksInTheDestination) {
    namespace fs = std::filesystem;
    const std::string Archive = Container("links.sfds", [&](TSFDSFileWriter& W) {
        W.AddBytes("sub\\x", "through sub", 0);
        W.AddBytes("SUB2/y", "through SUB2", 1);
        W.AddBytes("f", "over the victim", 0);
        W.AddBytes("fine.txt", "fine", 0);
    });
    fs::create_directories(Dir.File("dest"));
    fs::create_directories(Dir.File("target"));
    WriteWholeFile(Dir.File("target/victim"), "precious");
    fs::create_directory_symlink("../target", Dir.File("dest/sub"));
    fs::create_directory_symlink("../target", Dir.File("dest/SUB2"));
    fs::create_symlink("../target/victim", Dir.File("dest/f"));

    const TRun R = Run({"extract", Archive, Dir.File("dest")});
    EXPECT_EQ(R.Code, 16) << R.Err;
    for (const char* Name : {"sub\\x", "SUB2/y"})
        EXPECT_NE(R.Err.find(std::string(Name) + ": FAILED (16) Stored file name leads through a link and is not "
                                                 "extracted"),
                  std::string::npos)
            << Name << "\n" << R.Err;
    if (ToolIsWindows()) {
        // A link that shows as the file it leads to cannot be told from that
        // file by its name: it is refused, not replaced.
        EXPECT_NE(R.Err.find("f: FAILED (16) Stored file name leads through a link"), std::string::npos) << R.Err;
        EXPECT_TRUE(fs::is_symlink(Dir.File("dest/f")));
    } else {
        EXPECT_FALSE(fs::is_symlink(Dir.File("dest/f")));
        EXPECT_EQ(ReadWholeFile(Dir.File("dest/f")), "over the victim");
    }
    EXPECT_EQ(ReadWholeFile(Dir.File("dest/fine.txt")), "fine");
    std::vector<std::string> InTarget;
    for (const auto& E : fs::directory_iterator(Dir.File("target"))) InTarget.push_back(E.path().filename().string());
    EXPECT_EQ(InTarget, std::vector<std::string>{"victim"});
    EXPECT_EQ(ReadWholeFile(Dir.File("target/victim")), "precious");
}

// A pipe is never opened for writing: opening one that nobody reads would
// wait for ever. It is refused at once and stays as it is.
TEST_F(SfdsToolTest, AFifoNamedLikeAnEntryIsRefusedAtOnce) {
    const std::string Archive = Container("fifo.sfds", [&](TSFDSFileWriter& W) {
        W.AddBytes("pipe", "into the pipe", 0);
        W.AddBytes("fine.txt", "fine", 0);
    });
    std::filesystem::create_directories(Dir.File("out"));
    ASSERT_EQ(::mkfifo(Dir.File("out/pipe").c_str(), 0600), 0);
    const TRun R = RunToolAtMost(Dir, 60, {"extract", Archive, Dir.File("out")});
    EXPECT_EQ(R.Code, 16) << "-2: still running after a minute\n" << R.Err;
    EXPECT_NE(R.Err.find("pipe: FAILED (16) Cannot create file \""), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("It is a pipe, device or socket, not a file"), std::string::npos) << R.Err;
    EXPECT_TRUE(std::filesystem::is_fifo(Dir.File("out/pipe")));
    EXPECT_EQ(ReadWholeFile(Dir.File("out/fine.txt")), "fine");
}

// An entry named like the archive, extracted into the archive's own folder,
// would empty the archive while it is being read.
TEST_F(SfdsToolTest, ExtractionIntoTheArchivesOwnFolderLeavesTheArchiveWhole) {
    std::filesystem::create_directories(Dir.File("box"));
    const std::string Archive = Container("box/self.sfds", [&](TSFDSFileWriter& W) {
        W.AddBytes("a.bin", Pattern(200000, 8, false), 1);
        W.AddBytes("SELF.sfds", "would replace the archive", 0);
        W.AddBytes("z.bin", Pattern(100000, 9, false), 2);
    });
    const std::string Before = ReadWholeFile(Archive);
    const TRun R = Run({"extract", Archive, Dir.File("box")});
    EXPECT_EQ(R.Code, 16) << R.Err;
    EXPECT_NE(R.Err.find("SELF.sfds: FAILED (16) Cannot create file \""), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("It is the archive being read"), std::string::npos) << R.Err;
    EXPECT_TRUE(ReadWholeFile(Archive) == Before) << "the archive changed";
    EXPECT_EQ(ReadWholeFile(Dir.File("box/a.bin")), Pattern(200000, 8, false));
    EXPECT_EQ(ReadWholeFile(Dir.File("box/z.bin")), Pattern(100000, 9, false));
    EXPECT_EQ(Run({"test", Archive}).Code, 0);
}

TEST_F(SfdsToolTest, NonAsciiNamesOnTheCommandLineReachTheTool) {
    const std::string Photo = "\xEC\x82\xAC\xEC\xA7\x84.jpg";  // Korean
    const std::string Bytes = Pattern(3000, 7, false);
    WriteWholeFile(Dir.File(Photo), Bytes);
    const std::string Archive = Dir.File("\xEC\x95\xA8\xEB\xB2\x94.sfds");
    TRun R = Run({"pack", Archive, Dir.File(Photo), "--title", "\xED\x95\x9C"});
    ASSERT_EQ(R.Code, 0) << R.Err;
    R = Run({"cat", Archive + "::" + Photo});
    EXPECT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out, Bytes);
    R = Run({"list", "--json", Archive});
    ASSERT_EQ(R.Code, 0) << R.Err;
    const nlohmann::json J = nlohmann::json::parse(R.Out);
    EXPECT_EQ(J["title"], "\xED\x95\x9C");
    EXPECT_EQ(J["entries"][0]["name"], Photo);
}

TEST_F(SfdsToolTest, PackRefusesNamesTheCodePageCannotHoldBeforeWritingAnything) {
    const std::string Photo = "\xEC\x82\xAC\xEC\xA7\x84.jpg";  // Korean: not in CP1252
    std::filesystem::create_directories(Dir.File("in"));
    WriteWholeFile(Dir.File("in/a.txt"), "a");
    WriteWholeFile(Dir.File("in/" + Photo), "photo");
    const std::string Archive = Dir.File("out/box.sfds");
    TRun R = Run({"pack", Archive, Dir.File("in"), "--codepage", "CP1252"});
    EXPECT_EQ(R.Code, 1);
    EXPECT_NE(R.Err.find(Photo + "\": the name cannot be written in code page CP1252"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("--codepage, for example CP949 or UTF-8; nothing was written"), std::string::npos) << R.Err;
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out")));
    // A code page that has every character packs the same files.
    R = Run({"pack", Archive, Dir.File("in"), "--codepage", "CP949"});
    ASSERT_EQ(R.Code, 0) << R.Err;
    R = Run({"test", Archive, "--codepage", "CP949"});
    EXPECT_EQ(R.Out, "a.txt: OK\n" + Photo + ": OK\n");
}

// Ctrl-C ends the tool whatever it is doing: between entries as a cancel
// (exit 21, the entry reported), and within a moment also when it waits in
// a system call that does not return by itself. The bound only catches a
// tool that does not end at all.
TEST_F(SfdsToolTest, CtrlCEndsTheToolInEveryState) {
    if (ToolIsWindows()) GTEST_SKIP() << "a POSIX signal to Wine is no console Ctrl-C of the Windows tool";
#if defined(__SANITIZE_THREAD__)
#define SFDS_TOOL_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SFDS_TOOL_UNDER_TSAN 1
#endif
#endif
#ifdef SFDS_TOOL_UNDER_TSAN
    // The thread sanitizer holds a signal back until the thread leaves the
    // system call it waits in; a write restarted after the signal never does,
    // so the tool's handler cannot run there. The ordinary builds run this.
    GTEST_SKIP() << "the thread sanitizer defers signals to a thread waiting in write";
#endif
    // Enough entries that the lines of `test` overfill a pipe.
    const std::string Many = Container("many.sfds", [&](TSFDSFileWriter& W) {
        for (int I = 0; I < 4000; ++I) W.AddBytes(std::string(60, 'n') + std::to_string(I), "", 0);
    });
    ASSERT_EQ(::mkfifo(Dir.File("out-fifo").c_str(), 0600), 0);
    struct TCase {
        const char* State;
        std::vector<std::string> Args;
        bool Drain;  // standard output is read on after the signal
    };
    const std::vector<TCase> Cases = {
        // The tool waits in write on its standard output.
        {"writing output nobody reads", {"test", Many}, false},
        // It goes on once the output flows and meets the cancel.
        {"walking the entries", {"test", Many}, true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.State);
        const pid_t Pid = Spawn(C.Args, Dir.File("out-fifo"), Dir.File("stderr"));
        ASSERT_GT(Pid, 0);
        // The tool watches for Ctrl-C once it has printed its first line.
        const int Fd = ::open(Dir.File("out-fifo").c_str(), O_RDONLY);
        ASSERT_GE(Fd, 0);
        std::string Out;
        char Buf[4096];
        while (Out.find('\n') == std::string::npos) {
            const ssize_t N = ::read(Fd, Buf, sizeof Buf);
            ASSERT_GT(N, 0);
            Out.append(Buf, static_cast<std::size_t>(N));
        }
        // Nobody reads: the tool surely waits in write once the pipe is full.
        for (int Tick = 0; !C.Drain && Tick < 3000; ++Tick) {
            int Queued = 0;
            if (::ioctl(Fd, FIONREAD, &Queued) == 0 && Queued >= ::fcntl(Fd, F_GETPIPE_SZ)) break;
            ::usleep(10000);
        }
        ::kill(Pid, SIGINT);
        const auto Drain = [&] {
            for (ssize_t N = 1; N > 0;) {
                N = ::read(Fd, Buf, sizeof Buf);
                if (N > 0) Out.append(Buf, static_cast<std::size_t>(N));
            }
        };
        if (C.Drain) Drain();
        const int Code = WaitAtMost(Pid, 30);
        Drain();  // what is left once the tool has ended
        ::close(Fd);
        EXPECT_EQ(Code, 21) << "-2: still running 30 s after Ctrl-C";
        const std::string Err = ReadWholeFile(Dir.File("stderr"));
        EXPECT_NE((Out + Err).find("Operation aborted by user."), std::string::npos) << Err;
        if (C.Drain) {
            EXPECT_LT(std::count(Out.begin(), Out.end(), '\n'), 4000);
        }
    }
}

TEST_F(SfdsToolTest, VersionAndMisspeltCommands) {
    for (const char* Flag : {"--version", "-V"}) {
        SCOPED_TRACE(Flag);
        const TRun R = Run({Flag});
        EXPECT_EQ(R.Code, 0);
        EXPECT_EQ(R.Out, std::string("sfds (QMZRun) ") + QMZ_PROJECT_VERSION + "\n");
        EXPECT_EQ(R.Err, "");
    }
    struct TCase {
        std::vector<std::string> Args;
        std::string Said;  // the first line on standard error
    };
    const std::vector<TCase> Cases = {
        {{"lst", "x.sfds"}, "sfds: Unknown command \"lst\"; did you mean \"list\"?"},
        {{"tset", "x.sfds"}, "sfds: Unknown command \"tset\"; did you mean \"test\"?"},
        {{"extarct", "x.sfds", "out"}, "sfds: Unknown command \"extarct\"; did you mean \"extract\"?"},
        {{"Pack", "x.sfds", "in"}, "sfds: Unknown command \"Pack\"; did you mean \"pack\"?"},
        {{"frobnicate"}, "sfds: Unknown command \"frobnicate\"; the commands are: list, test, extract, cat, info, pack"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Args[0]);
        const TRun R = Run(C.Args);
        EXPECT_EQ(R.Code, 2);
        EXPECT_EQ(R.Out, "");
        EXPECT_EQ(R.Err, C.Said + "\nsfds: Run \"sfds --help\" for the usage and examples.\n");
    }
}

TEST_F(SfdsToolTest, EveryLineOnStandardErrorStartsWithTheProgramsName) {
    const std::string Good = Container("good.sfds", [](TSFDSFileWriter& W) { W.AddBytes("a.txt", "alpha", 1); });
    const std::string Corrupt = Container("corrupt.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("bad.txt", "payload", 0);
        W.Entry(0).MD5Digest.v[0] ^= 1;
    });
    WriteWholeFile(Dir.File("plain.txt"), std::string(200, 'x'));
    const std::vector<std::vector<std::string>> Cases = {
        {},
        {"lst"},
        {"list"},
        {"pack", Dir.File("p.sfds"), Dir.File("plain.txt"), "--format", "lzma"},
        {"list", Dir.File("missing.sfds")},
        {"list", Dir.File("plain.txt")},  // a message of two lines
        {"list", Good, "--codepage", "NO-SUCH-CODEPAGE"},
        {"cat", Good},
        {"cat", Good + "::nope"},
        {"cat", Corrupt + "::bad.txt"},
        {"test", Corrupt},
        {"extract", Corrupt, Dir.File("out")},
        {"pack", Dir.File("p.sfds"), Dir.File("no-such-input")},
    };
    for (const std::vector<std::string>& Args : Cases) {
        std::string Label;
        for (const std::string& A : Args) Label += A + " ";
        SCOPED_TRACE(Label);
        const TRun R = Run(Args);
        EXPECT_NE(R.Code, 0);
        ASSERT_FALSE(R.Err.empty());
        EXPECT_EQ(R.Err.back(), '\n');
        for (std::size_t Start = 0; Start < R.Err.size(); Start = R.Err.find('\n', Start) + 1)
            EXPECT_EQ(R.Err.substr(Start, 6), "sfds: ") << R.Err;
    }
}

// The lines per entry stay alone on standard output, for scripts; the count
// follows on standard error.
TEST_F(SfdsToolTest, TestEndsWithASummaryLineOnStandardError) {
    const std::string Good = Container("good.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("a.txt", "alpha", 1);
        W.AddBytes("b.txt", "beta", 2);
    });
    const std::string Corrupt = Container("corrupt.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("ok.txt", "fine", 0);
        W.AddBytes("bad.txt", "payload", 0);
        W.Entry(1).MD5Digest.v[0] ^= 1;
        W.AddBytes("worse.txt", "payload", 0);
        W.Entry(2).MD5Digest.v[0] ^= 1;
    });
    struct TCase {
        std::string Archive, Mask;
        int Code;
        std::string Out;  // standard output, whole or (ending in a blank) its start
        std::string Summary;
    };
    const std::vector<TCase> Cases = {
        {Good, "", 0, "a.txt: OK\nb.txt: OK\n", "entries tested: 2, failed: 0"},
        {Good, "b*", 0, "b.txt: OK\n", "entries tested: 1, failed: 0"},
        {Good, "none*", 0, "", "entries tested: 0, failed: 0"},
        {Corrupt, "", 13, "ok.txt: OK\nbad.txt: FAILED (13) ", "entries tested: 3, failed: 2"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Archive + " " + C.Mask);
        std::vector<std::string> Args{"test", C.Archive};
        if (!C.Mask.empty()) Args.push_back(C.Mask);
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, C.Code);
        if (!C.Out.empty() && C.Out.back() == ' ') {
            EXPECT_EQ(R.Out.substr(0, C.Out.size()), C.Out);
            EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), 3);
        } else {
            EXPECT_EQ(R.Out, C.Out);
        }
        EXPECT_EQ(R.Err, "sfds: " + ToolSees(C.Archive) + ": " + C.Summary + "\n");
    }
}

TEST_F(SfdsToolTest, MessagesNameTheArchiveAndTheEntry) {
    const std::string Good = Container("good.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("a.txt", Pattern(5000, 1, true), 1);
        W.AddBytes("b.txt", Pattern(5000, 2, true), 0);
    });
    const std::string Bytes = ReadWholeFile(Good);
    std::int64_t TableEnd = 0;
    {
        TSFDSFileReader R(Good);
        TableEnd = R.FileListPositionEnd();
    }
    ASSERT_EQ(TableEnd, static_cast<std::int64_t>(Bytes.size()));
    // Cut in the header, in the entry data and in the entry table: the
    // library's message, then the archive's end against where its header
    // puts the table's.
    const auto InTable = [&](std::size_t Size) {
        return ": the archive ends after " + std::to_string(Size) + " bytes, before the end of its entry table at byte " +
               std::to_string(TableEnd) + "; it is cut short\n";
    };
    struct TCut {
        std::size_t Size;
        std::string Said;  // on standard error, the archive's name as <A>
    };
    const std::vector<TCut> Cuts = {
        {50, "sfds: <A>: Stream read error: the archive ends after 50 bytes, inside its 83-byte header; it is cut "
             "short\n"},
        {3000, "sfds: <A>: Stream read error" + InTable(3000)},
        // The table's window ends early: its digest cannot match.
        {Bytes.size() - 5,
         "sfds: The entry table of this SFDS file is corrupted (MD5 Error):\r\nsfds: \"<A>\"" + InTable(Bytes.size() - 5)},
    };
    for (const TCut& Cut : Cuts) {
        const std::string Archive = Dir.File("cut-" + std::to_string(Cut.Size) + ".sfds");
        WriteWholeFile(Archive, Bytes.substr(0, Cut.Size));
        std::string Said = Cut.Said;
        Said.replace(Said.find("<A>"), 3, ToolSees(Archive));
        for (const std::vector<std::string>& Args :
             std::vector<std::vector<std::string>>{{"list", Archive},
                                                   {"info", Archive},
                                                   {"test", Archive},
                                                   {"extract", Archive, Dir.File("out")},
                                                   {"cat", Archive + "::a.txt"}}) {
            SCOPED_TRACE(Args[0] + " " + Archive);
            const TRun R = Run(Args);
            EXPECT_EQ(R.Code, 1);
            EXPECT_EQ(R.Out, "");
            EXPECT_EQ(R.Err, Said);
        }
    }
    // A missing entry: cat names it with its archive, as given.
    for (const std::string Entry : {"nope.txt", "sub\\a.txt"}) {
        const TRun R = Run({"cat", Good + "::" + Entry});
        EXPECT_EQ(R.Code, 15);
        EXPECT_EQ(R.Err, "sfds: " + ToolSees(Good + "::" + Entry) +
                             ": Requested stream can't be opened because it does not exist.\n");
    }
}

// A disk file that takes no more (a full disk, here a file size limit) fails
// its entry with the system's reason, and the tool goes on to the next.
TEST_F(SfdsToolTest, ExtractionPastAFileSizeLimitGivesTheSystemsReason) {
    if (ToolIsWindows()) GTEST_SKIP() << "a file size limit (ulimit -f) is a POSIX process limit; Windows has none";
    const std::string Archive = Container("big.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("big.bin", Pattern(300000, 1, false), 0);
        W.AddBytes("small.txt", "small", 1);
    });
    const TRun R = RunToolAfter(Dir, "ulimit -f 100", {"extract", Archive, Dir.File("out")});
    EXPECT_EQ(R.Code, 19) << R.Err;
    EXPECT_EQ(R.Err, "sfds: " + Archive + "::big.bin: FAILED (19) Stream write error: File too large\n");
    EXPECT_EQ(ReadWholeFile(Dir.File("out/small.txt")), "small");
}

TEST_F(SfdsToolTest, EveryHelpShowsExamples) {
    for (const std::string Command : {"", "list", "test", "extract", "cat", "info", "pack"}) {
        SCOPED_TRACE(Command);
        std::vector<std::string> Args{"--help"};
        if (!Command.empty()) Args.insert(Args.begin(), Command);
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 0);
        const std::string Example = "\n  sfds " + (Command.empty() ? "" : Command + " ");
        const std::size_t Examples = R.Out.find("\nExamples:" + Example);
        ASSERT_NE(Examples, std::string::npos) << R.Out;
        std::size_t Shown = 0;
        for (std::size_t At = R.Out.find(Example, Examples); At != std::string::npos; At = R.Out.find(Example, At + 1))
            ++Shown;
        EXPECT_GE(Shown, 2U) << R.Out;
    }
}

// The archive is read at offsets, which a pipe has none of: an archive that
// arrives through one ends the tool at once with the read error, whether its
// writer sends anything or not, instead of leaving it waiting.
TEST_F(SfdsToolTest, AnArchiveThroughAPipeEndsTheToolAtOnce) {
    if (ToolIsWindows()) GTEST_SKIP() << "a POSIX pipe";
    ASSERT_EQ(::mkfifo(Dir.File("archive-fifo").c_str(), 0600), 0);
    const pid_t Pid =
        Spawn({"extract", Dir.File("archive-fifo"), Dir.File("out")}, Dir.File("stdout"), Dir.File("stderr"));
    ASSERT_GT(Pid, 0);
    // Held open and silent until the tool has ended.
    const int Fd = ::open(Dir.File("archive-fifo").c_str(), O_WRONLY);
    ASSERT_GE(Fd, 0);
    const int Code = WaitAtMost(Pid, 30);
    ::close(Fd);
    EXPECT_EQ(Code, 1) << "-2: still running 30 s later";
    EXPECT_NE(ReadWholeFile(Dir.File("stderr")).find("Stream read error"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out")));
}
