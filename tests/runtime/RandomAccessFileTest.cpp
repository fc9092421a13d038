#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/RandomAccessFile.h"
#include "support/TempDir.h"

namespace {

// The byte at each offset of the fixture file: differs from its neighbours,
// so a read from the wrong place shows.
char ByteAt(std::int64_t Offset) { return static_cast<char>((Offset * 131 + (Offset >> 8) * 7) & 0xFF); }

std::string PatternFile(const std::string& Name, std::int64_t Size) {
    std::string Bytes(static_cast<std::size_t>(Size), '\0');
    for (std::int64_t I = 0; I < Size; ++I) Bytes[static_cast<std::size_t>(I)] = ByteAt(I);
    WriteWholeFile(Name, Bytes);
    return Bytes;
}

std::string ReadAt(const TRandomAccessFile& File, std::int32_t Count, std::int64_t Offset) {
    std::string Buffer(static_cast<std::size_t>(Count), '?');
    const std::int32_t N = File.ReadAt(Buffer.data(), Count, Offset);
    return N < 0 ? "failed" : Buffer.substr(0, static_cast<std::size_t>(N));
}

}  // namespace

TEST(TRandomAccessFile, ReadsAtTheOffsetGivenUpToTheEnd) {
    TTempDir Dir;
    WriteWholeFile(Dir.File("f"), "0123456789");
    const TRandomAccessFile File(Dir.File("f"), fmOpenRead | fmShareDenyWrite);
    struct TCase {
        std::int64_t Offset;
        std::int32_t Count;
        const char* Expected;
    };
    const TCase Cases[] = {
        {0, 4, "0123"},         {6, 4, "6789"},
        {7, 16, "789"},         // short: the file ends first
        {10, 4, ""},            // at the end
        {4096, 4, ""},          // after it
        {3, 0, ""},             // nothing asked
        {-1, 4, "failed"},      // before the start
    };
    for (const TCase& C : Cases) EXPECT_EQ(ReadAt(File, C.Count, C.Offset), C.Expected) << C.Offset;
    EXPECT_EQ(File.Size(), 10);
    // Reads never move anything: the same offset gives the same bytes again.
    EXPECT_EQ(ReadAt(File, 3, 2), "234");
    EXPECT_EQ(ReadAt(File, 3, 2), "234");
}

TEST(TRandomAccessFile, WritesAtTheOffsetGivenAndGrowsTheFile) {
    TTempDir Dir;
    {
        TRandomAccessFile File(Dir.File("w"), fmCreate);
        EXPECT_EQ(File.WriteAt("abc", 3, 5), 3);
        EXPECT_EQ(File.WriteAt("XY", 2, 0), 2);
        EXPECT_EQ(File.WriteAt("Z", 1, 6), 1);
        EXPECT_EQ(File.WriteAt("Q", 1, -2), -1);
        EXPECT_EQ(File.Size(), 8);
        EXPECT_EQ(ReadAt(File, 16, 0), std::string("XY\0\0\0aZc", 8));
    }
    EXPECT_EQ(ReadWholeFile(Dir.File("w")), std::string("XY\0\0\0aZc", 8));
    TRandomAccessFile ReadOnly(Dir.File("w"), fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(ReadOnly.WriteAt("x", 1, 0), -1);
    EXPECT_EQ(ReadWholeFile(Dir.File("w")), std::string("XY\0\0\0aZc", 8));
}

// An offset past 4 GiB takes more than 32 bits: a read or write that dropped
// the high part would land at the low part's place, 1 GiB into the file (a
// hole of zeros in this sparse file).
TEST(TRandomAccessFile, OffsetsPastFourGiBReachTheirPlace) {
    TTempDir Dir;
    const std::int64_t Far = (std::int64_t{5} << 30) + 3;
    TRandomAccessFile File(Dir.File("sparse"), fmCreate);
    ASSERT_EQ(File.WriteAt("far", 3, Far), 3);
    EXPECT_EQ(File.Size(), Far + 3);
    EXPECT_EQ(ReadAt(File, 3, Far), "far");
    EXPECT_EQ(ReadAt(File, 8, Far - 1), std::string("\0far", 4));
    EXPECT_EQ(ReadAt(File, 3, Far & 0xFFFFFFFF), std::string(3, '\0'));
    EXPECT_EQ(ReadAt(File, 3, Far + 3), "");
}

TEST(TRandomAccessFile, OpenFailuresRaiseAsFileStreamsDo) {
    TTempDir Dir;
    const std::string Missing = Dir.File("missing.bin");
    const std::string Bad = Dir.File("no/such/folder/x.bin");
    std::string Expected, Got;
    try {
        TFileStream F(Missing, fmOpenRead);
    } catch (const EFOpenError& E) {
        Expected = E.Message();
    }
    try {
        TRandomAccessFile F(Missing, fmOpenRead);
    } catch (const EFOpenError& E) {
        Got = E.Message();
    }
    EXPECT_FALSE(Expected.empty());
    EXPECT_EQ(Got, Expected);
    EXPECT_THROW(TRandomAccessFile(Bad, fmCreate), EFCreateError);
}

// Several threads read one open file at once, each at offsets of its own,
// while a stream over the same file reads it from start to end: every read
// gets the bytes of its own offset.
TEST(TRandomAccessFile, ThreadsReadOneFileAtOnce) {
    TTempDir Dir;
    const std::int64_t Size = 1 << 20;
    const std::string Bytes = PatternFile(Dir.File("p"), Size);
    auto File = std::make_shared<TRandomAccessFile>(Dir.File("p"), fmOpenRead | fmShareDenyWrite);
    constexpr int Threads = 4;
    std::vector<int> Wrong(Threads, 0);
    std::vector<std::thread> Readers;
    for (int T = 0; T < Threads; ++T)
        Readers.emplace_back([&, T] {
            std::uint32_t Seed = 2166136261u + static_cast<std::uint32_t>(T);
            std::vector<char> Buffer(70000);
            for (int I = 0; I < 600; ++I) {
                Seed = Seed * 1664525u + 1013904223u;
                // Some reads run past the end and come back short.
                const std::int64_t Offset = (Seed >> 8) % (Size + 4096);
                const auto Count = static_cast<std::int32_t>(1 + (Seed >> 3) % Buffer.size());
                const std::int32_t N = File->ReadAt(Buffer.data(), Count, Offset);
                const std::int64_t Left = Offset >= Size ? 0 : Size - Offset;
                const std::int64_t Expected = Count < Left ? Count : Left;
                if (N != Expected ||
                    (N > 0 && Bytes.compare(static_cast<std::size_t>(Offset), static_cast<std::size_t>(N),
                                            Buffer.data(), static_cast<std::size_t>(N)) != 0))
                    ++Wrong[T];
            }
        });
    TRandomAccessStream Whole(File);
    std::string Read(static_cast<std::size_t>(Size), '\0');
    for (std::size_t Done = 0; Done < Read.size();) {
        const std::int32_t N = Whole.Read(Read.data() + Done, 4099);
        if (N <= 0) break;
        Done += static_cast<std::size_t>(N);
    }
    for (std::thread& R : Readers) R.join();
    EXPECT_EQ(Read, Bytes);
    for (int T = 0; T < Threads; ++T) EXPECT_EQ(Wrong[T], 0) << "thread " << T;
}

TEST(TRandomAccessStream, StreamsOverOneFileKeepPositionsOfTheirOwn) {
    TTempDir Dir;
    WriteWholeFile(Dir.File("f"), "0123456789");
    auto A = std::make_unique<TRandomAccessStream>(Dir.File("f"), fmOpenRead | fmShareDenyWrite);
    TRandomAccessStream B(A->File());
    char Buf[16];
    EXPECT_EQ(A->Seek(2, soBeginning), 2);
    EXPECT_EQ(A->Read(Buf, 3), 3);
    EXPECT_EQ(std::string(Buf, 3), "234");
    EXPECT_EQ(B.Read(Buf, 2), 2);
    EXPECT_EQ(std::string(Buf, 2), "01");
    EXPECT_EQ(A->Read(Buf, 16), 5);
    EXPECT_EQ(std::string(Buf, 5), "56789");
    EXPECT_EQ(A->Read(Buf, 16), 0);
    EXPECT_EQ(A->Seek(-3, soEnd), 7);
    EXPECT_EQ(A->Seek(-1, soCurrent), 6);
    EXPECT_EQ(A->Seek(-7, soCurrent), -1);  // before the start: refused, position kept
    EXPECT_EQ(A->Position(), 6);
    EXPECT_EQ(A->Size(), 10);
    EXPECT_EQ(A->Write("x", 1), 0);  // opened for reading only
    // The file stays open for as long as any stream over it.
    A.reset();
    EXPECT_EQ(B.Read(Buf, 16), 8);
    EXPECT_EQ(std::string(Buf, 8), "23456789");
}

TEST(TRandomAccessStream, WritesAtItsPosition) {
    TTempDir Dir;
    {
        TRandomAccessStream S(Dir.File("w"), fmCreate);
        S.WriteBuffer("hello", 5);
        EXPECT_EQ(S.Seek(1, soBeginning), 1);
        S.WriteBuffer("EL", 2);
        EXPECT_EQ(S.Position(), 3);
        EXPECT_EQ(S.Seek(2, soEnd), 7);
        S.WriteBuffer("!", 1);
        EXPECT_EQ(S.Size(), 8);
    }
    EXPECT_EQ(ReadWholeFile(Dir.File("w")), std::string("hELlo\0\0!", 8));
}
