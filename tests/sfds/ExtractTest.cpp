#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <vector>

#include "support/CodePageScope.h"
#include "ReaderFixtures.h"
#include "codecs/sfds_zlibex.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "runtime/MemoryStream.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_reader.h"
#include "support/DeflateCases.h"
#include "support/InflateRoutes.h"

namespace {

struct TCall {
    std::int64_t Progress, MaxProgress, ThisTime;
    std::string ArcName, StreamName;
    std::thread::id Thread;
};

// Records every progress call; cancels on call CancelAt (1-based) or throws on ThrowAt.
struct TRecorder {
    std::vector<TCall> Calls;
    int CancelAt = 0;
    int ThrowAt = 0;
    TSFDSProgressEvent Event() {
        return [this](TSFDSCustomSource*, std::int64_t Progress, std::int64_t Max, std::int64_t ThisTime, bool& Cancel,
                      const std::string& ArcName, const std::string& StreamName) {
            EXPECT_FALSE(Cancel);
            Calls.push_back({Progress, Max, ThisTime, ArcName, StreamName, std::this_thread::get_id()});
            const int N = static_cast<int>(Calls.size());
            if (N == CancelAt) Cancel = true;
            if (N == ThrowAt) throw std::runtime_error("handler");
        };
    }
};

// A destination that accepts nothing.
class TRefusingStream : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
};

// Large enough for the read-ahead worker, not a whole number of chunks.
constexpr std::size_t BigSize = 6 * 32768 + 123;

class ExtractTest : public testing::Test {
protected:
    // Writes the container and opens a reader on it.
    std::unique_ptr<TSFDSFileReader> Open(const TWriterSetup& Setup, const std::string& Name = "a.sfds") {
        WriteWholeFile(Dir.File(Name), BuildContainer(Setup));
        return std::make_unique<TSFDSFileReader>(Dir.File(Name));
    }
    // Flips the byte at Offset inside entry Index's stored bytes.
    std::unique_ptr<TSFDSFileReader> Corrupt(std::unique_ptr<TSFDSFileReader> R, std::int32_t Index,
                                             std::int64_t Offset, const std::string& Name = "a.sfds") {
        const std::int64_t At = R->FileEntrys().Items(Index)->StartPosition + Offset;
        R.reset();
        std::string Bytes = ReadWholeFile(Dir.File(Name));
        Bytes[static_cast<std::size_t>(At)] ^= 0x5A;
        WriteWholeFile(Dir.File(Name), Bytes);
        return std::make_unique<TSFDSFileReader>(Dir.File(Name));
    }

    TTempDir Dir;
    TReaderListGuard Guard;
};

// The expected chunk sizes: full chunks, then one short read (0 after an exact multiple).
std::vector<std::int64_t> ChunksOf(std::size_t Size) {
    std::vector<std::int64_t> V(Size / 32768, 32768);
    V.push_back(static_cast<std::int64_t>(Size % 32768));
    return V;
}

}  // namespace

TEST_F(ExtractTest, ReadsInChunksReportsEachOnTheCallersThreadAndWritesTheFile) {
    for (std::uint8_t Format : {0, 1, 2}) {
        for (std::size_t Size : {std::size_t{0}, std::size_t{1}, std::size_t{32767}, std::size_t{32768},
                                 std::size_t{32769}, std::size_t{65536}, BigSize, 8 * std::size_t{32768}}) {
            SCOPED_TRACE(testing::Message() << "format " << int(Format) << ", size " << Size);
            const std::string Data = PatternBytes(Size, static_cast<unsigned>(Size));
            auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("dir\\item.bin", Data, Format); });
            const std::string Disk = Dir.File("out/item.bin");
            TRecorder Rec;
            EXPECT_EQ(R->ExtractFileEx(0, Disk, nullptr, true, false, Rec.Event(), true), SFDS_OK);
            EXPECT_EQ(ReadWholeFile(Disk), Data);

            const std::vector<std::int64_t> Expected = ChunksOf(Size);
            ASSERT_EQ(Rec.Calls.size(), Expected.size());
            std::int64_t Sum = 0;
            for (std::size_t I = 0; I < Expected.size(); ++I) {
                Sum += Expected[I];
                EXPECT_EQ(Rec.Calls[I].ThisTime, Expected[I]);
                EXPECT_EQ(Rec.Calls[I].Progress, Sum);
                EXPECT_EQ(Rec.Calls[I].MaxProgress, static_cast<std::int64_t>(Size));
                EXPECT_EQ(Rec.Calls[I].ArcName, Disk);
                EXPECT_EQ(Rec.Calls[I].StreamName, "dir\\item.bin");
                EXPECT_EQ(Rec.Calls[I].Thread, std::this_thread::get_id());
            }
            DeleteFile(Disk);
        }
    }
}

TEST_F(ExtractTest, TestRunCreatesNothingAndStillVerifies) {
    const std::string Data = PatternBytes(BigSize, 3);
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("a.bin", Data, 0);
        W.AddBytes("b.bin", Data, 1);
    });
    const std::string Disk = Dir.File("never/a.bin");
    EXPECT_EQ(R->ExtractFileEx(0, Disk, nullptr, true, true, {}, true), SFDS_OK);
    EXPECT_EQ(R->ExtractFile("b.bin", Disk, true, {}, true), SFDS_OK);
    // A test run needs no destination at all.
    EXPECT_EQ(R->ExtractFileEx(0, "", nullptr, false, true, {}, true), SFDS_OK);
    R = Corrupt(std::move(R), 0, 40000);
    EXPECT_EQ(R->ExtractFileEx(0, Disk, nullptr, true, true, {}, false), SFDS_ERR_MD5);
    EXPECT_FALSE(DirectoryExists(Dir.File("never")));
}

TEST_F(ExtractTest, WritesIntoTheCallersStreamAtItsPositionAndLeavesItOpen) {
    const std::string Data = PatternBytes(70000, 4);
    auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("x", Data, 2); });
    TMemoryStream M(std::string("HEAD"));
    M.Seek(0, soEnd);
    EXPECT_EQ(R->ExtractFileEx("X", "ignored", &M, false, false, {}, true), SFDS_OK);
    EXPECT_EQ(M.AsString(), "HEAD" + Data);
    EXPECT_FALSE(FileExists("ignored"));
}

TEST_F(ExtractTest, CancelOnACallStopsAfterThatChunkAndKeepsThePartialFile) {
    const std::string Data = PatternBytes(BigSize, 5);
    for (std::uint8_t Format : {0, 1}) {
        for (int CancelAt : {1, 3}) {
            SCOPED_TRACE(testing::Message() << "format " << int(Format) << ", cancel at " << CancelAt);
            auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("big", Data, Format); });
            const std::string Disk = Dir.File("part.bin");
            TRecorder Rec;
            Rec.CancelAt = CancelAt;
            EXPECT_EQ(R->ExtractFile(0, Disk, false, Rec.Event(), false), SFDS_ERR_ABORTED);
            EXPECT_EQ(Rec.Calls.size(), static_cast<std::size_t>(CancelAt));
            EXPECT_EQ(ReadWholeFile(Disk), Data.substr(0, 32768 * static_cast<std::size_t>(CancelAt)));

            Rec = TRecorder{};
            Rec.CancelAt = CancelAt;
            EXPECT_EQ(MessageOf<ESFDSUserAbortedOperation>([&] { R->ExtractFile(0, Disk, false, Rec.Event(), true); }),
                      SFDS_ERR_UserAborted);
        }
    }
}

TEST_F(ExtractTest, CorruptedStoredByteGivesDigestErrorAfterWritingTheWholeFile) {
    std::string Data = PatternBytes(50000, 6);
    auto R = Corrupt(Open([&](TSFDSFileWriter& W) { W.AddBytes("img\\p.jpg", Data, 0); }), 0, 100);
    Data[100] ^= 0x5A;
    const std::string Disk = Dir.File("p.jpg");
    EXPECT_EQ(R->ExtractFile(0, Disk, false, {}, false), SFDS_ERR_MD5);
    EXPECT_EQ(ReadWholeFile(Disk), Data);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R->ExtractFile(0, Disk, false, {}, true); }),
              Format(SFDS_ERR_MD5Extract, Disk.c_str(), "img\\p.jpg"));
}

TEST_F(ExtractTest, DecompressionErrorGivesReadErrorInOrderAfterTheChunksBeforeIt) {
    // A broken zlib header fails the first read; a broken trailer fails the
    // last, after every chunk before it was written (through the read-ahead).
    const std::string Data = PatternBytes(BigSize, 7);
    for (bool AtEnd : {false, true}) {
        SCOPED_TRACE(AtEnd ? "trailer" : "header");
        auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("z", Data, 1); });
        const SFDS_FileEntryRecord& E = *R->FileEntrys().Items(0);
        R = Corrupt(std::move(R), 0, AtEnd ? E.EndPosition - E.StartPosition - 1 : 0);
        const std::string Disk = Dir.File("z.bin");
        TRecorder Rec;
        EXPECT_EQ(R->ExtractFile(0, Disk, false, Rec.Event(), false), SFDS_ERR_READ);
        const std::string Written = ReadWholeFile(Disk);
        EXPECT_EQ(Written.size(), Rec.Calls.size() * 32768);
        EXPECT_EQ(Written, Data.substr(0, Written.size()));
        if (AtEnd) {
            EXPECT_GE(Rec.Calls.size(), 5U);
        }
        EXPECT_THROW(R->ExtractFile(0, Disk, false, {}, true), EZDecompressionError);
    }
}

// Crafted zlib entries whose Adler-32 and MD5 are those of what a lenient
// inflater makes of them: each extracts as zlib judges it, with one result
// code on every route (zlib, the fast engine, the whole-entry inflater),
// in a test run and to disk.
TEST_F(ExtractTest, CraftedZLibEntriesGetZLibsVerdictOnEveryRoute) {
    const std::vector<TCraftedStream> Cases = CraftedStreams();
    auto R = Open([&](TSFDSFileWriter& W) {
        for (const TCraftedStream& C : Cases) {
            const std::string Packed = C.ZLib();
            SFDS_FileEntryRecord E;
            E.FileName = E.OriginalFileName = C.Name;
            E.StartPosition = W.WriteRawData(Packed);
            E.EndPosition = E.StartPosition + static_cast<std::int64_t>(Packed.size());
            E.FileSize = static_cast<std::int64_t>(C.Plain.size());
            E.CompressionFormat = 1;
            E.MD5Digest = DigestOf(C.Plain);
            W.AddEntryRecord(E);
        }
    });
    for (const TInflateRoute& Route : InflateRoutes()) {
        SCOPED_TRACE(Route.Name());
        TInflateRouteScope Scope(Route);
        for (std::size_t I = 0; I < Cases.size(); ++I) {
            SCOPED_TRACE(Cases[I].Name);
            const std::int32_t Expected = Cases[I].ZLibTakes ? SFDS_OK : SFDS_ERR_READ;
            const auto Index = static_cast<std::int32_t>(I);
            EXPECT_EQ(R->ExtractFileEx(Index, "", nullptr, false, true, {}, false), Expected);
            const std::string Disk = Dir.File("out.bin");
            EXPECT_EQ(R->ExtractFile(Index, Disk, false, {}, false), Expected);
            if (Cases[I].ZLibTakes) {
                EXPECT_EQ(ReadWholeFile(Disk), Cases[I].Plain);
            }
        }
    }
}

TEST_F(ExtractTest, FailuresGiveTheirCodeAndWithThrowExceptionsTheirException) {
    const std::string Data = PatternBytes(40000, 8);
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("good", Data, 1);
        AddUnknownFormatEntry(W, "unknown");
    });
    WriteWholeFile(Dir.File("blocker"), "a file where a folder should be");
    TRefusingStream Refusing;
    const std::string Missing = Dir.File("no-dest");
    struct TCase {
        const char* Label;
        std::function<std::int32_t(bool Throw)> Run;
        std::int32_t Code;
        std::function<bool(const Exception&)> IsClass;
        std::string Message;  // empty: not compared
    };
    auto Is = [](auto* Tag) {
        return [](const Exception& E) { return dynamic_cast<const std::remove_pointer_t<decltype(Tag)>*>(&E) != nullptr; };
    };
    const std::vector<TCase> Cases = {
        {"index -1", [&](bool T) { return R->ExtractFileEx(-1, Missing, nullptr, true, false, {}, T); },
         SFDS_ERR_NO_STREAM, Is((ESFDSException*)nullptr), SFDS_ERR_StreamNotFound},
        {"index past the end", [&](bool T) { return R->ExtractFile(2, Missing, false, {}, T); }, SFDS_ERR_NO_STREAM,
         Is((ESFDSException*)nullptr), SFDS_ERR_StreamNotFound},
        {"name not stored", [&](bool T) { return R->ExtractFile("nope", Missing, false, {}, T); }, SFDS_ERR_NO_STREAM,
         Is((ESFDSException*)nullptr), SFDS_ERR_StreamNotFound},
        {"unknown format", [&](bool T) { return R->ExtractFile("unknown", Missing, false, {}, T); },
         SFDS_ERR_NO_STREAM, Is((ESFDSDecompressionError*)nullptr), Format(SFDS_ERR_UnknownCompression, "009")},
        {"no stream", [&](bool T) { return R->ExtractFileEx(0, "named", nullptr, false, false, {}, T); },
         SFDS_ERR_FILE_OPEN, Is((EFOpenError*)nullptr), Format(SFDS_ERR_NoDestination, "named")},
        {"empty disk name", [&](bool T) { return R->ExtractFile(0, "", false, {}, T); }, SFDS_ERR_FILE_OPEN,
         Is((EFOpenError*)nullptr), Format(SFDS_ERR_NoDestination, "")},
        {"folder cannot be made", [&](bool T) { return R->ExtractFile(0, Dir.File("blocker/x.bin"), false, {}, T); },
         SFDS_ERR_FILE_OPEN, Is((EFCreateError*)nullptr), ""},
        {"write refused", [&](bool T) { return R->ExtractFileEx(0, "", &Refusing, false, false, {}, T); },
         SFDS_ERR_WRITE, Is((EWriteError*)nullptr), SWriteError},
    };
    const int Descriptors = OpenDescriptorCount();
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Label);
        EXPECT_EQ(C.Run(false), C.Code);
        try {
            C.Run(true);
            ADD_FAILURE() << "nothing raised";
        } catch (const Exception& E) {
            EXPECT_TRUE(C.IsClass(E)) << typeid(E).name();
            if (!C.Message.empty()) {
                EXPECT_EQ(E.Message(), C.Message);
            }
        }
        EXPECT_FALSE(FileExists(Missing));
        EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    }
}

TEST_F(ExtractTest, HandlerExceptionPassesThroughAfterEverythingIsReleased) {
    const std::string Data = PatternBytes(BigSize, 9);
    auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("big", Data, 1); });
    const int Descriptors = OpenDescriptorCount();
    for (int ThrowAt : {1, 4}) {
        TRecorder Rec;
        Rec.ThrowAt = ThrowAt;
        EXPECT_THROW(R->ExtractFile(0, Dir.File("h.bin"), false, Rec.Event(), false), std::runtime_error);
        EXPECT_EQ(OpenDescriptorCount(), Descriptors);
        EXPECT_EQ(ReadWholeFile(Dir.File("h.bin")).size(), 32768U * static_cast<std::size_t>(ThrowAt));
    }
}

TEST_F(ExtractTest, BareDiskFileNameGoesIntoTheCurrentFolder) {
    auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("x", "bare", 0); });
    const std::string Saved = GetCurrentDir();
    ASSERT_EQ(::chdir(Dir.Path().c_str()), 0);
    const std::int32_t Result = R->ExtractFile(0, "bare.bin", false, {}, false);
    ASSERT_EQ(::chdir(Saved.c_str()), 0);
    EXPECT_EQ(Result, SFDS_OK);
    EXPECT_EQ(ReadWholeFile(Dir.File("bare.bin")), "bare");
}

TEST_F(ExtractTest, ExtractFilesToMakesSubfoldersAndSelectsByMask) {
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("img\\a.jpg", "A", 1);
        W.AddBytes("photos/b.jpg", "B", 2);
        W.AddBytes("readme", "R", 0);
        W.AddBytes("c.TXT", "C", 0);
    });
    struct TCase {
        const char* Mask;
        std::vector<std::string> Expected;  // files below the destination
    };
    const std::vector<TCase> Cases = {
        {"*", {"img/a.jpg", "photos/b.jpg", "readme", "c.TXT"}},
        {"*.*", {"img/a.jpg", "photos/b.jpg", "readme", "c.TXT"}},
        {"*.jpg", {"img/a.jpg", "photos/b.jpg"}},
        {"A.*", {"img/a.jpg"}},
        {"*.txt;;*.doc", {"c.TXT"}},
        {"*.txt; readme", {"c.TXT"}},
        {"*.png", {}},
    };
    const std::vector<std::string> All = {"img/a.jpg", "photos/b.jpg", "readme", "c.TXT"};
    int N = 0;
    for (const TCase& C : Cases) {
        for (const char* Tail : {"", "/", "\\"}) {
            SCOPED_TRACE(testing::Message() << C.Mask << " with tail '" << Tail << "'");
            const std::string Base = Dir.File("out" + std::to_string(++N));
            EXPECT_EQ(R->ExtractFilesTo(Base + Tail, C.Mask, false, {}, true), SFDS_OK);
            for (const std::string& F : All) {
                const bool Want = std::find(C.Expected.begin(), C.Expected.end(), F) != C.Expected.end();
                EXPECT_EQ(FileExists(Base + "/" + F), Want) << F;
            }
        }
    }
    EXPECT_EQ(R->ExtractFilesTo(Dir.File("all"), false, {}, true), SFDS_OK);
    EXPECT_EQ(ReadWholeFile(Dir.File("all/photos/b.jpg")), "B");
}

TEST_F(ExtractTest, ExtractFilesToStopsAtTheFirstFailure) {
    auto R = Corrupt(Open([&](TSFDSFileWriter& W) {
                         W.AddBytes("1.bin", "one", 0);
                         W.AddBytes("2.bin", "two", 0);
                         W.AddBytes("3.bin", "three", 0);
                     }),
                     1, 0);
    TRecorder Rec;
    EXPECT_EQ(R->ExtractFilesTo(Dir.File("out"), "*", false, Rec.Event(), false), SFDS_ERR_MD5);
    EXPECT_TRUE(FileExists(Dir.File("out/1.bin")));
    EXPECT_TRUE(FileExists(Dir.File("out/2.bin")));
    EXPECT_FALSE(FileExists(Dir.File("out/3.bin")));
    // Progress restarts for each file.
    ASSERT_EQ(Rec.Calls.size(), 2U);
    EXPECT_EQ(Rec.Calls[1].Progress, 3);
    EXPECT_EQ(Rec.Calls[1].ArcName, Dir.File("out") + "\\2.bin");
}

TEST_F(ExtractTest, StoredNamesThatLeaveTheDestinationAreRefused) {
    // Absolute names point into the test's own folder, so a failure here
    // cannot touch anything else.
    const std::string Root = Dir.Path();
    const std::vector<std::string> Escapes = {
        "../../x",        "..\\..\\x",       "a/../../../x", "a\\..\\..\\..\\x", "deep/../../..",
        "...\\..\\x",     "..  /x",          Root + "x",     "\\" + Root.substr(1) + "x",
        "C:\\x",          "c:x",             "x:stream",     "/x",               "\\x",           "",
    };
    for (const std::string& Evil : Escapes) {
        for (bool Test : {false, true}) {
            SCOPED_TRACE(testing::Message() << Evil << (Test ? " (test run)" : ""));
            TTempDir Out;
            auto R = Open([&](TSFDSFileWriter& W) {
                W.AddBytes("first.bin", "1", 0);
                W.AddBytes(Evil, "evil", 0);
                W.AddBytes("last.bin", "3", 0);
            });
            const std::string Dest = Out.File("d1/d2");
            // A test run writes nothing, so it verifies such a name like any other.
            EXPECT_EQ(R->ExtractFilesTo(Dest, "*", Test, {}, false), Test ? SFDS_OK : SFDS_ERR_FILE_OPEN);
            EXPECT_EQ(FileExists(Dest + "/first.bin"), !Test);
            EXPECT_FALSE(FileExists(Dest + "/last.bin"));
            EXPECT_FALSE(FileExists(Out.File("x")));
            EXPECT_FALSE(FileExists(Out.File("d1/x")));
            EXPECT_FALSE(FileExists(Root + "x"));
            if (!Test) {
                EXPECT_EQ(MessageOf<ESFDSException>([&] { R->ExtractFilesTo(Dest, "*", Test, {}, true); }),
                          Format(SFDS_ERR_UnsafeFileName, Evil.c_str()));
            }
        }
    }
}

TEST_F(ExtractTest, FoldersThatAreLinksAreRefusedAndNothingLandsOutside) {
    if (TestOnWindows)
        GTEST_SKIP() << "no links to plant on Windows here: the MinGW runtime's std::filesystem makes no symbolic "
                        "links, Wine 8's CreateSymbolicLinkW reports success and creates nothing, and Wine shows "
                        "Linux links as the files and folders they lead to";
    // dest/link and dest/sub/link lead out of dest; every way of naming them
    // (either separator, any letter case) is refused, the entries before the
    // link are extracted, nothing is written outside.
    namespace fs = std::filesystem;
    for (const std::string Evil : {"link/file", "link\\file", "LINK/file", "Link\\deeper\\file", "sub/link/file",
                                   "SUB\\LINK/file"}) {
        SCOPED_TRACE(Evil);
        TTempDir Out;
        fs::create_directories(Out.File("outside"));
        fs::create_directories(Out.File("dest/sub"));
        fs::create_directory_symlink(Out.File("outside"), Out.File("dest/link"));
        fs::create_directory_symlink(Out.File("outside"), Out.File("dest/sub/link"));
        auto R = Open([&](TSFDSFileWriter& W) {
            W.AddBytes("first.bin", "1", 0);
            W.AddBytes(Evil, "evil", 0);
            W.AddBytes("last.bin", "3", 0);
        });
        EXPECT_EQ(R->ExtractFilesTo(Out.File("dest"), "*", false, {}, false), SFDS_ERR_FILE_OPEN);
        EXPECT_EQ(ReadWholeFile(Out.File("dest/first.bin")), "1");
        EXPECT_FALSE(FileExists(Out.File("dest/last.bin")));
        EXPECT_TRUE(fs::is_empty(Out.File("outside")));
        EXPECT_EQ(MessageOf<ESFDSException>([&] { R->ExtractFilesTo(Out.File("dest"), "*", false, {}, true); }),
                  Format(SFDS_ERR_LinkInFileName, Evil.c_str()));
        EXPECT_TRUE(fs::is_empty(Out.File("outside")));
        // A test run writes nothing and so follows nothing: it verifies.
        EXPECT_EQ(R->ExtractFilesTo(Out.File("dest"), "*", true, {}, false), SFDS_OK);
    }
}

TEST_F(ExtractTest, LinksInAFilesPlaceAreReplacedNeverWrittenThrough) {
    if (TestOnWindows)
        GTEST_SKIP() << "no links to plant on Windows here: the MinGW runtime's std::filesystem makes no symbolic "
                        "links, Wine 8's CreateSymbolicLinkW reports success and creates nothing, and Wine shows "
                        "Linux links as the files and folders they lead to";
    namespace fs = std::filesystem;
    TTempDir Out;
    fs::create_directories(Out.File("outside/folder"));
    fs::create_directories(Out.File("dest/Sub"));
    WriteWholeFile(Out.File("outside/target"), "precious");
    WriteWholeFile(Out.File("outside/shared"), "precious too");
    WriteWholeFile(Out.File("dest/Sub/Plain.txt"), "a longer old content");
    fs::create_symlink(Out.File("outside/target"), Out.File("dest/symlink"));
    fs::create_symlink(Out.File("outside/not-yet"), Out.File("dest/dangling"));
    fs::create_directory_symlink(Out.File("outside/folder"), Out.File("dest/folderlink"));
    fs::create_hard_link(Out.File("outside/shared"), Out.File("dest/hardlink"));
    struct TCase {
        const char* Stored;
        const char* OnDisk;  // below dest
    };
    const std::vector<TCase> Cases = {
        {"symlink", "symlink"},       {"DANGLING", "dangling"},         {"folderlink", "folderlink"},
        {"hardlink", "hardlink"},     {"sub\\plain.TXT", "Sub/Plain.txt"},
    };
    auto R = Open([&](TSFDSFileWriter& W) {
        for (const TCase& C : Cases) W.AddBytes(C.Stored, std::string("new ") + C.Stored, 1);
    });
    EXPECT_EQ(R->ExtractFilesTo(Out.File("dest"), "*", false, {}, true), SFDS_OK);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Stored);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out.File("dest/") + C.OnDisk)));
        EXPECT_EQ(ReadWholeFile(Out.File("dest/") + C.OnDisk), std::string("new ") + C.Stored);
    }
    EXPECT_EQ(ReadWholeFile(Out.File("outside/target")), "precious");
    EXPECT_EQ(ReadWholeFile(Out.File("outside/shared")), "precious too");
    EXPECT_FALSE(fs::exists(Out.File("outside/not-yet")));
    EXPECT_TRUE(fs::is_empty(Out.File("outside/folder")));
    EXPECT_EQ(fs::hard_link_count(Out.File("outside/shared")), 1U);
    // Nothing is left behind under a name of the walk's own.
    std::vector<std::string> Names;
    for (const auto& E : fs::directory_iterator(Out.File("dest"))) Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    EXPECT_EQ(Names, (std::vector<std::string>{"Sub", "dangling", "folderlink", "hardlink", "symlink"}));
}

TEST_F(ExtractTest, NameWithANulCharacterIsRefusedAndOverwritesNothing) {
    const std::string Nul("a\0b", 3);
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("a", "the real a", 0);
        W.AddBytes(Nul, "impostor", 0);
    });
    EXPECT_EQ(R->ExtractFilesTo(Dir.File("out"), "*", false, {}, false), SFDS_ERR_FILE_OPEN);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/a")), "the real a");
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R->ExtractFilesTo(Dir.File("out"), "*", false, {}, true); }),
              Format(SFDS_ERR_NulInFileName, "a\\0b"));
    EXPECT_EQ(ReadWholeFile(Dir.File("out/a")), "the real a");
    std::string Disk;
    EXPECT_FALSE(SFDS_ExtractFileName(Dir.Path(), Nul, Disk));
    // A disk name given by the caller is refused the same way.
    EXPECT_EQ(R->ExtractFile(1, Dir.File("out/") + Nul, false, {}, false), SFDS_ERR_FILE_OPEN);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/a")), "the real a");
}

// Extracting an archive into its own folder must not empty it while it is
// being read: the entry that would land on it fails with 16, whichever name
// leads there, and the archive stays whole.
TEST_F(ExtractTest, TheArchiveBeingReadIsNeverWrittenOver) {
    const std::string First = PatternBytes(BigSize, 31);
    const std::string Box = Dir.File("box");
    std::filesystem::create_directories(Box);
    WriteWholeFile(Box + "/self.sfds", BuildContainer([&](TSFDSFileWriter& W) {
                       W.AddBytes("first.bin", First, 1);
                       W.AddBytes("SELF.SFDS", "would replace the archive", 0);
                       W.AddBytes("last.bin", "last", 0);
                   }));
    if (!TestOnWindows) std::filesystem::create_hard_link(Box + "/self.sfds", Box + "/other name.sfds");
    const std::string Archive = ReadWholeFile(Box + "/self.sfds");
    TSFDSFileReader R(Box + "/self.sfds");
    ASSERT_NE(R.SourceIdentity(), nullptr);

    // The walk below a folder finds the archive under the entry's name in
    // another letter case.
    EXPECT_EQ(R.ExtractFilesTo(Box, "*", false, {}, false), SFDS_ERR_FILE_OPEN);
    EXPECT_EQ(ReadWholeFile(Box + "/first.bin"), First);
    EXPECT_FALSE(FileExists(Box + "/last.bin"));
    const std::string Walk = MessageOf<EFCreateError>([&] { R.ExtractFilesTo(Box, "*", false, {}, true); });
    EXPECT_NE(Walk.find(std::string("\\SELF.SFDS\". ") + SFDS_ERR_ArchiveItself), std::string::npos) << Walk;
    // A disk name given by the caller: the archive's own, or another of its
    // names. (Windows keeps writers out of an archive a reader has open in
    // any case; the identity is what tells it elsewhere.)
    std::vector<std::string> Names = {Box + "/self.sfds"};
    if (!TestOnWindows) Names.push_back(Box + "/other name.sfds");
    for (const std::string& Disk : Names) {
        SCOPED_TRACE(Disk);
        EXPECT_EQ(R.ExtractFile(1, Disk, false, {}, false), SFDS_ERR_FILE_OPEN);
        const std::string Message = MessageOf<EFCreateError>([&] { R.ExtractFile(1, Disk, false, {}, true); });
        if (!TestOnWindows) {
            EXPECT_EQ(Message, Format(SFCreateErrorEx, Disk.c_str(), SFDS_ERR_ArchiveItself));
        }
    }
    EXPECT_TRUE(ReadWholeFile(Box + "/self.sfds") == Archive) << "the archive changed";
    EXPECT_EQ(R.ExtractFilesTo(Box, "*", true, {}, false), SFDS_OK);
}

// A pipe (or socket, or device) in a file's place is never opened for
// writing: opening a pipe would wait for a reader, writing would feed
// whoever reads it. Here a reader is there, and it gets nothing.
TEST_F(ExtractTest, APipeInAFilesPlaceIsRefusedWithoutBeingWritten) {
    if (TestOnWindows) GTEST_SKIP() << "a Windows program makes no FIFOs in a folder";
    namespace fs = std::filesystem;
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("PIPE", "into the pipe", 1);
        W.AddBytes("fine", "fine", 0);
    });
    fs::create_directories(Dir.File("out"));
    TTestFifo Fifo(Dir.File("out/pipe"));
    ASSERT_TRUE(Fifo.Made());
    fs::create_symlink("pipe", Dir.File("out/to-pipe"));

    TSFDSExtractDestination Destination(Dir.File("out"));
    std::exception_ptr Failure;
    EXPECT_EQ(R->ExtractFileTo(Destination, 0, false, {}, Failure), SFDS_ERR_FILE_OPEN);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { std::rethrow_exception(Failure); }),
              Format(SFCreateErrorEx, (Dir.File("out") + "\\PIPE").c_str(), SFDS_ERR_NotAFile));
    EXPECT_EQ(R->ExtractFileTo(Destination, 1, false, {}, Failure), SFDS_OK);
    // A disk name given by the caller, also one that leads there through a link.
    for (const char* Name : {"out/pipe", "out/to-pipe"}) {
        EXPECT_EQ(MessageOf<EFCreateError>([&] { R->ExtractFile(0, Dir.File(Name), false, {}, true); }),
                  Format(SFCreateErrorEx, Dir.File(Name).c_str(), SFDS_ERR_NotAFile));
    }
    EXPECT_EQ(Fifo.Received(), "");
    EXPECT_TRUE(fs::is_fifo(Dir.File("out/pipe")));
    EXPECT_EQ(ReadWholeFile(Dir.File("out/fine")), "fine");
}

// Counts the handles a file reader opens on its archive after construction.
class TCountingFileReader : public TSFDSFileReader {
public:
    using TSFDSFileReader::TSFDSFileReader;
    std::unique_ptr<TStream> Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) override {
        ++Clones;
        return TSFDSFileReader::Clone(StartPos, EndPos, Mode);
    }
    int Clones = 0;
};

TEST_F(ExtractTest, ExtractionReadsThroughTheReadersOwnHandleWhileOpenedStreamsStayIndependent) {
    const std::string Big = PatternBytes(BigSize, 21);
    WriteWholeFile(Dir.File("c.sfds"), BuildContainer([&](TSFDSFileWriter& W) {
                       W.AddBytes("big", Big, 1);
                       W.AddBytes("small", "small", 2);
                       W.AddBytes("raw", Big, 0);
                   }));
    TCountingFileReader R(Dir.File("c.sfds"));
    // An opened stream stands somewhere in the middle while extraction reads.
    std::int64_t Size = 0;
    std::unique_ptr<TStream> Opened = R.OpenStream("raw", Size);
    EXPECT_EQ(R.Clones, 1);
    std::string Head(100, '\0');
    Opened->ReadBuffer(Head.data(), 100);
    EXPECT_EQ(R.ExtractFilesTo(Dir.File("out"), "*", false, {}, true), SFDS_OK);
    EXPECT_EQ(R.ExtractFilesTo(Dir.File("out"), "*", true, {}, true), SFDS_OK);
    EXPECT_EQ(R.Clones, 1);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/big")), Big);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/raw")), Big);
    std::string Rest(Big.size() - 100, '\0');
    Opened->ReadBuffer(Rest.data(), static_cast<std::int32_t>(Rest.size()));
    EXPECT_EQ(Head + Rest, Big);
}

TEST_F(ExtractTest, UnusualButContainedNamesExtract) {
    const std::vector<std::string> Names = {"a..b", "..a", ".hidden", "a/./b", "x\\.\\y", "a.. b/c", "tail..."};
    auto R = Open([&](TSFDSFileWriter& W) {
        for (const std::string& N : Names) W.AddBytes(N, N, 0);
    });
    EXPECT_EQ(R->ExtractFilesTo(Dir.File("out"), "*", false, {}, true), SFDS_OK);
    for (const std::string& N : Names) {
        std::string Native = N;
        std::replace(Native.begin(), Native.end(), '\\', '/');
        EXPECT_EQ(ReadWholeFile(Dir.File("out/") + Native), N) << N;
    }
}

TEST_F(ExtractTest, DoubleByteNamesAreCutAtTheirSeparatorsOnly) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    // Katakana so, hyou and nou end in the byte of `\`; the po of "poster"
    // ends in that of `|`, its ta in that of `^`.
    const std::string So = "\x83\x5C", Hyo = "\x95\x5C", Nou = "\x94\x5C";
    const std::string Soft = So + "\x83\x74\x83\x67", Poster = "\x83\x7C\x83\x58\x83\x5E\x81\x5B";
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes(Soft + ".txt", "soft", 0);
        W.AddBytes(Hyo + "\\" + Nou + ".txt", "nou", 1);
        W.AddBytes(Poster + "/" + So + ".txt", "so", 2);
        W.AddBytes(Hyo + "\\" + So + "\\" + Nou, "deep", 0);
    });
    EXPECT_EQ(R->ExtractFilesTo(Dir.File("out"), "*", false, {}, true), SFDS_OK);
    EXPECT_EQ(FilesBelow(Dir.File("out")), (std::map<std::string, std::string>{
                                               {"ソフト.txt", "soft"},
                                               {"表/能.txt", "nou"},
                                               {"ポスター/ソ.txt", "so"},
                                               {"表/ソ/能", "deep"},
                                           }));

    // A colon after a lead byte it does not complete is a colon: refused.
    auto Colon = Open([&](TSFDSFileWriter& W) { W.AddBytes("\x81:stream", "x", 0); }, "colon.sfds");
    EXPECT_EQ(Colon->ExtractFilesTo(Dir.File("out2"), "*", false, {}, false), SFDS_ERR_FILE_OPEN);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out2")) && !std::filesystem::is_empty(Dir.File("out2")));
}

TEST(ExtractFileNameTest, JoinsWithOneSeparatorAndKeepsAnEmptyFolderCurrent) {
    std::string Out;
    EXPECT_TRUE(SFDS_ExtractFileName("", "a\\b.jpg", Out));
    EXPECT_EQ(Out, "a\\b.jpg");
    EXPECT_TRUE(SFDS_ExtractFileName("C:\\out", "b.jpg", Out));
    EXPECT_EQ(Out, "C:\\out\\b.jpg");
    EXPECT_TRUE(SFDS_ExtractFileName("out/", "b.jpg", Out));
    EXPECT_EQ(Out, "out/b.jpg");
    EXPECT_FALSE(SFDS_ExtractFileName("out", "..", Out));
    EXPECT_EQ(Out, "");
    EXPECT_FALSE(SFDS_ExtractFileName("out", "", Out));
}

TEST_F(ExtractTest, StreamToStreamCopyCopiesFromThePositionWithoutVerifying) {
    const std::string Data = PatternBytes(70000, 10);
    auto R = Open([&](TSFDSFileWriter& W) { W.AddBytes("z", "irrelevant", 1); });
    TMemoryStream Source(Data);
    Source.SetPosition(5);
    TMemoryStream Dest;
    TRecorder Rec;
    EXPECT_EQ(R->DirectStreamToStreamCopy(&Source, &Dest, "disk", "name", Rec.Event(), true), SFDS_OK);
    EXPECT_EQ(Dest.AsString(), Data.substr(5));
    ASSERT_EQ(Rec.Calls.size(), 3U);
    EXPECT_EQ(Rec.Calls[2].ThisTime, 70000 - 5 - 65536);
    EXPECT_EQ(Rec.Calls[2].MaxProgress, 70000);
    EXPECT_EQ(Rec.Calls[2].ArcName, "disk");
    EXPECT_EQ(Rec.Calls[2].StreamName, "name");

    EXPECT_EQ(R->DirectStreamToStreamCopy(nullptr, &Dest, "", "", {}, false), SFDS_ERR_NO_STREAM);
    EXPECT_EQ(R->DirectStreamToStreamCopy(&Source, nullptr, "", "", {}, false), SFDS_ERR_NO_STREAM);
    EXPECT_EQ(MessageOf<ESFDSNilSourceStream>([&] { R->DirectStreamToStreamCopy(nullptr, &Dest, "", "", {}, true); }),
              SFDS_ERR_NilSource);

    Source.SetPosition(0);
    Rec = TRecorder{};
    Rec.CancelAt = 1;
    EXPECT_EQ(R->DirectStreamToStreamCopy(&Source, &Dest, "", "", Rec.Event(), false), SFDS_ERR_ABORTED);
    TRefusingStream Refusing;
    Source.SetPosition(0);
    EXPECT_EQ(R->DirectStreamToStreamCopy(&Source, &Refusing, "", "", {}, false), SFDS_ERR_WRITE);
}

TEST_F(ExtractTest, RawCopyOfAnEntryYieldsItsStoredBytes) {
    const std::string Data = PatternBytes(100000, 11);
    auto R = Open([&](TSFDSFileWriter& W) {
        W.AddBytes("first", "x", 0);
        W.AddBytes("img\\z.jpg", Data, 1);
    });
    const SFDS_FileEntryRecord& E = *R->FileEntrys().Items(1);
    const std::string Stored = ReadWholeFile(Dir.File("a.sfds"))
                                   .substr(static_cast<std::size_t>(E.StartPosition),
                                           static_cast<std::size_t>(E.EndPosition - E.StartPosition));
    TMemoryStream ByName, ByIndex;
    TRecorder Rec;
    EXPECT_EQ(R->DirectStreamToStreamCopy("IMG\\Z.JPG", &ByName, "d", Rec.Event(), true), SFDS_OK);
    EXPECT_EQ(Rec.Calls.back().StreamName, "IMG\\Z.JPG");
    Rec = TRecorder{};
    EXPECT_EQ(R->DirectStreamToStreamCopy(1, &ByIndex, "d", Rec.Event(), true), SFDS_OK);
    EXPECT_EQ(Rec.Calls.back().StreamName, "img\\z.jpg");
    EXPECT_EQ(ByName.AsString(), Stored);
    EXPECT_EQ(ByIndex.AsString(), Stored);

    TMemoryStream Dest;
    EXPECT_EQ(R->DirectStreamToStreamCopy("nope", &Dest, "", {}, false), SFDS_ERR_NO_STREAM);
    EXPECT_EQ(R->DirectStreamToStreamCopy(7, &Dest, "", {}, false), SFDS_ERR_NO_STREAM);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R->DirectStreamToStreamCopy(-1, &Dest, "", {}, true); }),
              SFDS_ERR_StreamNotFound);
    // A handler's exception stops the copy: raised on request, otherwise
    // reported as a cancel rather than as success.
    Rec = TRecorder{};
    Rec.ThrowAt = 1;
    EXPECT_EQ(R->DirectStreamToStreamCopy(1, &Dest, "", Rec.Event(), false), SFDS_ERR_ABORTED);
    Rec = TRecorder{};
    Rec.ThrowAt = 1;
    EXPECT_THROW(R->DirectStreamToStreamCopy("first", &Dest, "", Rec.Event(), true), std::runtime_error);
}
