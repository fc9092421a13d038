#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"

namespace {

// Hands out at most Chunk bytes per call and counts the seeks it is asked for.
class TTrickleStream : public TMemoryStream {
public:
    TTrickleStream(std::string Bytes, std::int32_t Chunk) : TMemoryStream(Bytes), FChunk(Chunk) {}
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        return TMemoryStream::Read(Buffer, std::min(Count, FChunk));
    }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (FWriteLimit <= 0) return 0;
        const std::int32_t N = std::min({Count, FChunk, FWriteLimit});
        FWriteLimit -= N;
        return TMemoryStream::Write(Buffer, N);
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        ++Seeks;
        return TMemoryStream::Seek(Offset, Origin);
    }
    int Seeks = 0;
    std::int32_t FWriteLimit = 1 << 30;

private:
    std::int32_t FChunk;
};

// A stream that only knows Read/Write/Seek, to see the base class defaults.
class TBareStream : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        Calls += std::to_string(Origin) + ":" + std::to_string(Offset) + " ";
        if (Origin == soEnd) return FPos = 1000 + Offset;
        if (Origin == soBeginning) return FPos = Offset;
        return FPos += Offset;
    }
    std::int64_t FPos = 7;
    std::string Calls;
};

}  // namespace

TEST(TStream, DefaultGetSizeSavesSeeksToEndAndRestores) {
    TBareStream S;
    EXPECT_EQ(S.Size(), 1000);
    EXPECT_EQ(S.Calls, "1:0 2:0 0:7 ");
    EXPECT_EQ(S.Position(), 7);
}

TEST(TStream, DefaultSetSizeDoesNothing) {
    TBareStream S;
    S.SetSize(5);
    EXPECT_EQ(S.Calls, "");
}

TEST(TStream, ReadBufferGathersShortReads) {
    TTrickleStream S("abcdefghij", 3);
    char Buf[10];
    S.ReadBuffer(Buf, 10);
    EXPECT_EQ(std::string(Buf, 10), "abcdefghij");
}

TEST(TStream, ReadBufferRaisesWhenStreamEndsAndKeepsWhatWasConsumed) {
    TTrickleStream S("abcde", 2);
    char Buf[10];
    try {
        S.ReadBuffer(Buf, 10);
        FAIL() << "no exception";
    } catch (const EReadError& E) {
        EXPECT_EQ(E.Message(), "Stream read error");
    }
    EXPECT_EQ(S.Position(), 5);
}

TEST(TStream, WriteBufferRaisesWhenSinkRefuses) {
    TTrickleStream S("", 4);
    S.FWriteLimit = 6;
    const char Data[10] = {};
    EXPECT_THROW(S.WriteBuffer(Data, 10), EWriteError);
    EXPECT_EQ(S.Size(), 6);
}

TEST(TMemoryStream, ReadsWritesSeeksAndGrows) {
    TMemoryStream S;
    S.WriteBuffer("hello", 5);
    S.SetPosition(8);
    S.WriteBuffer("!", 1);
    EXPECT_EQ(S.Size(), 9);
    EXPECT_EQ(S.AsString(), std::string("hello\0\0\0!", 9));
    EXPECT_EQ(S.Seek(-4, soEnd), 5);
    char B[16];
    EXPECT_EQ(S.Read(B, 16), 4);
    EXPECT_EQ(S.Read(B, 16), 0);
    S.SetPosition(-3);  // before the start: nothing to read, nothing touched
    EXPECT_EQ(S.Read(B, 16), 0);
    S.SetSize(2);
    EXPECT_EQ(S.AsString(), "he");
}

TEST(TStream, CopyFromCopiesCountBytesOrWholeSource) {
    TMemoryStream Src(std::string(100000, 'x') + "tail");
    TMemoryStream Dst;
    Src.SetPosition(99998);
    EXPECT_EQ(Dst.CopyFrom(Src, 6), 6);
    EXPECT_EQ(Dst.AsString(), "xxtail");
    TMemoryStream All;
    EXPECT_EQ(All.CopyFrom(Src, 0), 100004);
    EXPECT_EQ(All.AsString(), Src.AsString());
    TMemoryStream Short("ab");
    EXPECT_THROW(Dst.CopyFrom(Short, 3), EReadError);
}
