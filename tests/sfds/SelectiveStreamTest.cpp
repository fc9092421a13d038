#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ProbeStream.h"
#include "runtime/FileStream.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_selectivestream.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

namespace {

// Tells whether it was destroyed, so ownership can be observed.
class TTrackedStream : public TMemoryStream {
public:
    TTrackedStream(std::string_view Bytes, bool& Destroyed) : TMemoryStream(Bytes), FDestroyed(Destroyed) {
        FDestroyed = false;
    }
    ~TTrackedStream() override { FDestroyed = true; }

private:
    bool& FDestroyed;
};

// A memory stream whose seeks stop at its ends, as some sources do.
class TClampingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        const std::int64_t R = TMemoryStream::Seek(Offset, Origin);
        if (R < 0) return TMemoryStream::Seek(0, soBeginning);
        if (R > GetSize()) return TMemoryStream::Seek(0, soEnd);
        return R;
    }
};

// A read-only source of 8 GiB whose byte at position P is P mod 251,
// for windows beyond 32-bit positions.
class TSyntheticStream : public TStream {
public:
    static constexpr std::int64_t Size = std::int64_t{8} << 30;
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        auto* P = static_cast<unsigned char*>(Buffer);
        std::int32_t N = 0;
        while (N < Count && FPos < Size) P[N++] = static_cast<unsigned char>(FPos++ % 251);
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        FPos = (Origin == soBeginning ? 0 : Origin == soCurrent ? FPos : Size) + Offset;
        return FPos;
    }

private:
    std::int64_t FPos = 0;
};

class SelectiveStream : public ::testing::Test {
protected:
    const std::string Data = PatternBytes(1000);
    TMemoryStream Source{Data};
};

}  // namespace

TEST_F(SelectiveStream, WindowShowsExactlyItsRange) {
    TSelectiveStream W(&Source, 100, 200);
    EXPECT_EQ(W.Size(), 100);
    EXPECT_EQ(W.Position(), 0);
    EXPECT_EQ(Source.Position(), 100);
    EXPECT_EQ(ReadToEnd(W, 7), Data.substr(100, 100));
    char C;
    EXPECT_EQ(W.Read(&C, 1), 0);
    EXPECT_EQ(Source.Position(), 200);

    // A read asking for more than remains gets exactly the rest.
    W.SetPosition(90);
    char Buf[50];
    EXPECT_EQ(W.Read(Buf, 50), 10);
    EXPECT_EQ(std::string(Buf, 10), Data.substr(190, 10));
    EXPECT_EQ(W.Read(Buf, 50), 0);
    EXPECT_EQ(W.Read(Buf, 0), 0);
    EXPECT_EQ(W.Read(Buf, -5), 0);
}

TEST_F(SelectiveStream, EmptyAndInvertedWindowsHaveSizeZero) {
    for (auto [Start, End] : {std::pair<std::int64_t, std::int64_t>{300, 300}, {300, 200}}) {
        TSelectiveStream W(&Source, Start, End);
        EXPECT_EQ(W.Size(), 0);
        char C;
        EXPECT_EQ(W.Read(&C, 1), 0);
        EXPECT_EQ(W.Seek(10, soBeginning), 0);
        EXPECT_EQ(W.Seek(0, soEnd), 0);
    }
}

TEST_F(SelectiveStream, SeeksStayInsideTheWindow) {
    struct {
        std::int64_t From;
        std::int64_t Offset;
        TSeekOrigin Origin;
        std::int64_t Expected;
    } Cases[] = {
        {0, 100 + 100, soBeginning, 100},  // Size + 100 from the beginning
        {0, 50, soEnd, 100},
        {0, -10, soEnd, 90},
        {97, 1000, soCurrent, 100},  // 3 bytes before the end
        {50, -20, soCurrent, 30},
        {0, 42, soBeginning, 42},
        // Before the start: clamped to 0, the previous bytes stay unreachable.
        {0, -10, soBeginning, 0},
        {30, -31, soCurrent, 0},
        {0, -1000, soEnd, 0},
        {0, INT64_MIN, soBeginning, 0},
        {50, INT64_MAX, soCurrent, 100},
        {50, INT64_MIN, soCurrent, 0},
        {0, INT64_MIN, soEnd, 0},
    };
    TSelectiveStream W(&Source, 100, 200);
    for (const auto& C : Cases) {
        W.SetPosition(C.From);
        EXPECT_EQ(W.Seek(C.Offset, C.Origin), C.Expected) << C.From << " " << C.Offset << " " << C.Origin;
        EXPECT_EQ(W.Position(), C.Expected);
        EXPECT_EQ(Source.Position(), 100 + C.Expected);
        char B = 0;
        const std::int32_t N = W.Read(&B, 1);
        if (C.Expected < 100) {
            ASSERT_EQ(N, 1);
            EXPECT_EQ(B, Data[static_cast<std::size_t>(100 + C.Expected)]);
        } else {
            EXPECT_EQ(N, 0);
        }
    }
    EXPECT_EQ(W.Size(), 100);
}

TEST_F(SelectiveStream, SetSizeIsRefused) {
    TSelectiveStream W(&Source, 100, 200);
    TStream& Base = W;
    for (std::int64_t NewSize : {std::int64_t{0}, std::int64_t{50}, std::int64_t{100}, std::int64_t{1} << 40}) {
        try {
            Base.SetSize(NewSize);
            FAIL() << "no exception";
        } catch (const ESFDSInvalidStreamOperation& E) {
            EXPECT_EQ(E.Message(), "Stream.SetSize Error: This stream is fixed in size.");
        }
    }
    EXPECT_EQ(W.Size(), 100);
    EXPECT_EQ(Source.Size(), 1000);
}

TEST(SelectiveStreamNil, NullSourceIsRefused) {
    try {
        TSelectiveStream W(static_cast<TStream*>(nullptr), 0, 10);
        FAIL() << "no exception";
    } catch (const ESFDSNilSourceStream& E) {
        EXPECT_EQ(E.Message(), "Error: SourceStream is NIL.");
    }
    EXPECT_THROW(TSelectiveStream(std::unique_ptr<TStream>(), 0, 10), ESFDSNilSourceStream);
}

TEST(SelectiveStreamOwnership, OwningWindowFreesItsSource) {
    bool Destroyed = false;
    {
        TSelectiveStream W(std::make_unique<TTrackedStream>(PatternBytes(100), Destroyed), 10, 20);
        EXPECT_TRUE(W.FreeSourceOnDestroy());
        EXPECT_FALSE(Destroyed);
    }
    EXPECT_TRUE(Destroyed);
}

TEST(SelectiveStreamOwnership, BorrowingWindowLeavesSourceWhereItStopped) {
    bool Destroyed = false;
    TTrackedStream Source(PatternBytes(100), Destroyed);
    {
        TSelectiveStream W(&Source, 10, 20);
        EXPECT_FALSE(W.FreeSourceOnDestroy());
        char B[3];
        W.ReadBuffer(B, 3);
    }
    EXPECT_FALSE(Destroyed);
    EXPECT_EQ(Source.Position(), 13);
}

TEST(SelectiveStreamOwnership, OwnershipCanBeHandedOverBothWays) {
    bool Destroyed = false;
    auto Owned = std::make_unique<TTrackedStream>(PatternBytes(100), Destroyed);
    TStream* Raw = Owned.get();
    {
        TSelectiveStream W(Owned.release(), 0, 10);
        W.SetFreeSourceOnDestroy(true);  // the window takes it over
        EXPECT_TRUE(W.FreeSourceOnDestroy());
        EXPECT_EQ(W.SourceStream(), Raw);
    }
    EXPECT_TRUE(Destroyed);

    std::unique_ptr<TStream> Back;
    {
        TSelectiveStream W(std::make_unique<TTrackedStream>(PatternBytes(100), Destroyed), 0, 10);
        W.SetFreeSourceOnDestroy(false);
        W.SetFreeSourceOnDestroy(false);  // twice changes nothing
        Back.reset(W.SourceStream());  // the holder takes it back
    }
    EXPECT_FALSE(Destroyed);
    Back.reset();
    EXPECT_TRUE(Destroyed);
}

namespace {
class TFailingSeekStream : public TTrackedStream {
public:
    using TTrackedStream::TTrackedStream;
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { throw EReadError("seek failed"); }
};
}  // namespace

TEST(SelectiveStreamOwnership, FailedConstructionStillFreesAnOwnedSource) {
    bool Destroyed = false;
    EXPECT_THROW(TSelectiveStream(std::make_unique<TFailingSeekStream>("abc", Destroyed), 0, 3), EReadError);
    EXPECT_TRUE(Destroyed);
}

TEST(SelectiveStreamSource, ReadsDoNotSeekTheSource) {
    TProbeStream Source(PatternBytes(100000));
    TSelectiveStream W(&Source, 1000, 91000);
    const int SeeksAfterOpen = Source.Seeks;
    EXPECT_EQ(ReadToEnd(W, 4096), PatternBytes(100000).substr(1000, 90000));
    EXPECT_EQ(Source.Seeks, SeeksAfterOpen);
    EXPECT_LE(Source.LargestRequest, 4096);
}

TEST(SelectiveStreamSource, ASeekPutsAMovedSourceBackInStep) {
    const std::string Data = PatternBytes(1000);
    TMemoryStream Source(Data);
    TSelectiveStream W(&Source, 100, 200);
    W.SetPosition(10);
    Source.SetPosition(700);  // someone else used the source
    EXPECT_EQ(W.Position(), 10);
    char B;
    ASSERT_EQ(W.Read(&B, 1), 1);
    EXPECT_EQ(B, Data[110]);
}

TEST(SelectiveStreamSource, WritesStayInsideTheWindow) {
    const std::string Data = PatternBytes(300);
    TMemoryStream Source(Data);
    TSelectiveStream W(&Source, 100, 200);
    W.SetPosition(90);
    const std::string Bytes(20, 'x');
    EXPECT_EQ(W.Write(Bytes.data(), 20), 10);
    EXPECT_EQ(W.Write(Bytes.data(), 20), 0);
    EXPECT_EQ(W.Size(), 100);
    EXPECT_EQ(Source.Size(), 300);
    std::string Expected = Data;
    Expected.replace(190, 10, 10, 'x');
    EXPECT_EQ(Source.AsString(), Expected);
}

TEST(SelectiveStreamSource, SourceThatCannotReachTheWindowYieldsNothing) {
    // The clamping source stops at its end: window bytes beyond it are never
    // taken from wherever the source stopped instead.
    TClampingStream Source(PatternBytes(1000));
    TSelectiveStream W(&Source, 990, 1100);
    EXPECT_EQ(W.Size(), 110);
    W.SetPosition(50);
    char B[10];
    EXPECT_EQ(W.Read(B, 10), 0);
    W.SetPosition(5);
    EXPECT_EQ(W.Read(B, 10), 5);  // back in range: the source's last 5 bytes

    // A file cannot be sought before its first byte: nothing is read.
    TTempDir Dir;
    WriteWholeFile(Dir.File("f.bin"), PatternBytes(500));
    TFileStream F(Dir.File("f.bin"), fmOpenRead | fmShareDenyWrite);
    TSelectiveStream Before(&F, -100, 50);
    EXPECT_EQ(Before.Size(), 150);
    EXPECT_EQ(Before.Read(B, 10), 0);
}

TEST(SelectiveStreamSource, PositionsBeyondFourGiB) {
    TSyntheticStream Source;
    const std::int64_t Start = (std::int64_t{5} << 30) + 3;
    TSelectiveStream W(&Source, Start, Start + 1000);
    EXPECT_EQ(W.Size(), 1000);
    EXPECT_EQ(W.Seek(-250, soEnd), 750);
    unsigned char B[4];
    W.ReadBuffer(B, 4);
    for (int I = 0; I < 4; ++I) EXPECT_EQ(B[I], (Start + 750 + I) % 251);

    TSelectiveStream Whole(&Source, 0, TSyntheticStream::Size);
    EXPECT_EQ(Whole.Size(), TSyntheticStream::Size);
    EXPECT_EQ(Whole.Seek(-1, soEnd), TSyntheticStream::Size - 1);
}

TEST(SelectiveStreamSource, OverAFileStream) {
    TTempDir Dir;
    const std::string Data = PatternBytes(70000);
    WriteWholeFile(Dir.File("f.bin"), Data);
    auto F = std::make_unique<TFileStream>(Dir.File("f.bin"), fmOpenRead | fmShareDenyWrite);
    TSelectiveStream W(std::move(F), 1234, 66000);
    EXPECT_EQ(ReadToEnd(W, 32768), Data.substr(1234, 66000 - 1234));
    W.SetPosition(0);
    EXPECT_EQ(ReadToEnd(W, 1000), Data.substr(1234, 66000 - 1234));
}
