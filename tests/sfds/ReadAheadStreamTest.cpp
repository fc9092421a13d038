#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProbeStream.h"
#include "ReaderFixtures.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_readaheadstream.h"

namespace {

constexpr std::int32_t Chunk = 4096;

// What a reader gets before Stream raises, and the message it raises with
// ("" when it does not).
struct TReadOutcome {
    std::string Bytes;
    std::string Error;
};
TReadOutcome ReadUntilError(TStream& Stream, std::int32_t Size) {
    TReadOutcome R;
    std::vector<char> Buf(static_cast<std::size_t>(Size));
    try {
        for (;;) {
            const std::int32_t Got = Stream.Read(Buf.data(), Size);
            if (Got <= 0) break;
            R.Bytes.append(Buf.data(), static_cast<std::size_t>(Got));
        }
    } catch (const Exception& E) {
        R.Error = E.what();
    }
    return R;
}

std::unique_ptr<TSFDSReadAheadStream> OverProbe(const std::string& Data, TProbeStream*& Probe,
                                                std::int64_t Expected = -1) {
    auto P = std::make_unique<TProbeStream>(Data);
    Probe = P.get();
    return std::make_unique<TSFDSReadAheadStream>(
        std::move(P), Expected < 0 ? static_cast<std::int64_t>(Data.size()) : Expected, Chunk);
}

PSFDS_CompressionFormatItem ZLibFormat() {
    PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(1);
    return Item != nullptr && Item->Compressor != nullptr && Item->Decompressor != nullptr ? Item : nullptr;
}

std::string ZLibCompress(PSFDS_CompressionFormatItem Item, const std::string& Data) {
    TMemoryStream Dest;
    {
        std::unique_ptr<TSFDSCompressor> C = Item->Compressor(&Dest, clDefault, csDefault);
        C->WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
        C->Finish();
    }
    return Dest.AsString();
}

std::unique_ptr<TStream> ZLibStream(PSFDS_CompressionFormatItem Item, const std::string& Compressed,
                                    std::int64_t Size) {
    return Item->Decompressor(std::make_unique<TMemoryStream>(Compressed), Size);
}

}  // namespace

TEST(ReadAheadStreamTest, DeliversTheBytesOfPlainReads) {
    const std::string Data = PatternBytes(300'000, 7);
    struct TCase {
        const char* Name;
        std::int64_t Expected;     // below the read-ahead minimum: no thread
        std::int32_t InnerMaxRead; // the inner stream's reads come back short
        std::vector<std::int32_t> Sizes;
    };
    const TCase Cases[] = {
        {"odd sizes", 300'000, INT32_MAX, {1, 4095, 7, 4097, 12'345, 3}},
        {"chunk sized", 300'000, INT32_MAX, {Chunk}},
        {"larger than the chunk", 300'000, INT32_MAX, {3 * Chunk + 1}},
        {"whole at once", 300'000, INT32_MAX, {400'000}},
        {"no thread", 100, INT32_MAX, {13, 5000}},
        {"short inner reads", 300'000, 1000, {777, 5000}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TProbeStream* Probe = nullptr;
        auto S = OverProbe(Data, Probe, C.Expected);
        Probe->MaxReadSize = C.InnerMaxRead;
        EXPECT_EQ(ReadToEnd(*S, C.Sizes), Data);
        EXPECT_EQ(S->Position(), static_cast<std::int64_t>(Data.size()));
        char B;
        EXPECT_EQ(S->Read(&B, 1), 0);  // the end stays the end
        EXPECT_EQ(S->Position(), static_cast<std::int64_t>(Data.size()));
    }
}

TEST(ReadAheadStreamTest, DeliversTheBytesOfAZLibEntry) {
    PSFDS_CompressionFormatItem Z = ZLibFormat();
    if (Z == nullptr) GTEST_SKIP() << "zlib codec not registered";
    const std::string Data = PatternBytes(500'000, 3);
    TSFDSReadAheadStream S(ZLibStream(Z, ZLibCompress(Z, Data), 500'000), 500'000);
    S.SetPosition(0);  // what the picture decoder does first
    EXPECT_EQ(ReadToEnd(S, 65'536), Data);
}

TEST(ReadAheadStreamTest, InnerErrorArrivesAfterTheBytesBeforeIt) {
    const std::string Data = PatternBytes(100'000, 5);
    struct TCase {
        std::int64_t Expected;
        int FailingRead;
        std::int32_t ReadSize;
    };
    // The third chunk fails: exactly two chunks arrive, in reads that do and
    // do not end on its boundary.
    for (const TCase& C : {TCase{100'000, 3, 3000}, TCase{100'000, 3, Chunk}, TCase{100'000, 1, 10},
                           TCase{100, 3, 3000}}) {
        SCOPED_TRACE(testing::Message() << C.Expected << "/" << C.FailingRead << "/" << C.ReadSize);
        TProbeStream* Probe = nullptr;
        auto S = OverProbe(Data, Probe, C.Expected);
        Probe->FailingRead = C.FailingRead;
        const TReadOutcome R = ReadUntilError(*S, C.ReadSize);
        EXPECT_EQ(R.Bytes, Data.substr(0, static_cast<std::size_t>(C.FailingRead - 1) * Chunk));
        EXPECT_EQ(R.Error, "probe read failure");
        EXPECT_EQ(S->Position(), static_cast<std::int64_t>(R.Bytes.size()));
        // A failed stream keeps failing rather than looking ended.
        char B;
        EXPECT_THROW(S->Read(&B, 1), EReadError);
        EXPECT_THROW(S->Read(&B, 1), EReadError);
    }
}

TEST(ReadAheadStreamTest, CorruptZLibEntryFailsWhereAPlainReaderDoes) {
    PSFDS_CompressionFormatItem Z = ZLibFormat();
    if (Z == nullptr) GTEST_SKIP() << "zlib codec not registered";
    const std::string Data = PatternBytes(400'000, 9);
    std::string Compressed = ZLibCompress(Z, Data);
    for (std::size_t I = Compressed.size() / 2; I < Compressed.size() / 2 + 64; ++I) Compressed[I] ^= 0x5A;

    auto Plain = ZLibStream(Z, Compressed, 400'000);
    const TReadOutcome Expected = ReadUntilError(*Plain, Chunk);
    ASSERT_FALSE(Expected.Error.empty());

    TSFDSReadAheadStream S(ZLibStream(Z, Compressed, 400'000), 400'000, Chunk);
    const TReadOutcome Got = ReadUntilError(S, 1234);
    EXPECT_EQ(Got.Error, Expected.Error);
    EXPECT_EQ(Got.Bytes.size(), Expected.Bytes.size());
    EXPECT_TRUE(Got.Bytes == Expected.Bytes);
}

TEST(ReadAheadStreamTest, SeeksThatKeepTheReadAhead) {
    const std::string Data = PatternBytes(200'000, 2);
    TProbeStream* Probe = nullptr;
    auto S = OverProbe(Data, Probe);

    // Before the first read the inner stream seeks for itself.
    EXPECT_EQ(S->Seek(10, soBeginning), 10);
    EXPECT_EQ(S->Size(), 200'000);
    S->SetPosition(0);
    EXPECT_EQ(Probe->ReadCalls, 0);

    std::string Got(5000, '\0');
    ASSERT_EQ(S->Read(Got.data(), 5000), 5000);
    const int SeeksBefore = Probe->Seeks;
    EXPECT_EQ(S->Position(), 5000);
    EXPECT_EQ(S->Seek(0, soCurrent), 5000);
    EXPECT_EQ(S->Seek(5000, soBeginning), 5000);
    EXPECT_TRUE(S->ReadingAhead());
    EXPECT_EQ(Probe->Seeks, SeeksBefore);
    Got += ReadToEnd(*S, 999);
    EXPECT_EQ(Got, Data);
}

TEST(ReadAheadStreamTest, OtherSeeksFallBackToTheInnerStream) {
    const std::string Data = PatternBytes(200'000, 4);
    struct TCase {
        const char* Name;
        std::int64_t Offset;
        TSeekOrigin Origin;
        std::int64_t Result;
    };
    const TCase Cases[] = {
        {"back", 1234, soBeginning, 1234},
        {"to the start", 0, soBeginning, 0},
        {"forward", 100'000, soCurrent, 150'000},
        {"from the end", -10, soEnd, 199'990},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TProbeStream* Probe = nullptr;
        auto S = OverProbe(Data, Probe);
        std::string Head(50'000, '\0');
        S->ReadBuffer(Head.data(), 50'000);
        EXPECT_EQ(S->Seek(C.Offset, C.Origin), C.Result);
        EXPECT_FALSE(S->ReadingAhead());
        EXPECT_EQ(ReadToEnd(*S, 3333), Data.substr(static_cast<std::size_t>(C.Result)));
    }
}

TEST(ReadAheadStreamTest, DecompressorStartsOverForABackwardSeek) {
    PSFDS_CompressionFormatItem Z = ZLibFormat();
    if (Z == nullptr) GTEST_SKIP() << "zlib codec not registered";
    const std::string Data = PatternBytes(300'000, 6);
    TSFDSReadAheadStream S(ZLibStream(Z, ZLibCompress(Z, Data), 300'000), 300'000, Chunk);
    std::string Head(100'000, '\0');
    S.ReadBuffer(Head.data(), 100'000);
    EXPECT_EQ(S.Size(), 300'000);  // the default size query seeks to the end and back
    EXPECT_EQ(S.Position(), 100'000);
    EXPECT_EQ(S.Seek(70'000, soBeginning), 70'000);
    EXPECT_EQ(ReadToEnd(S, 4321), Data.substr(70'000));
}

TEST(ReadAheadStreamTest, WriteIsRefused) {
    TProbeStream* Probe = nullptr;
    auto S = OverProbe("abc", Probe);
    EXPECT_THROW(S->Write("x", 1), EWriteError);
    EXPECT_EQ(Probe->Bytes(), "abc");
}

namespace {

// Observations of a TGatedStream that outlive it.
struct TGateState {
    std::mutex Lock;
    std::condition_variable Changed;
    int ReadCalls = 0;
    int BlockAt = 0;  // this read (1-based) waits for Open
    bool Open = false;
    bool InRead = false;
    bool Destroyed = false;
};

// An endless stream whose chosen read waits until the test lets it go.
class TGatedStream : public TStream {
public:
    explicit TGatedStream(std::shared_ptr<TGateState> State) : FState(std::move(State)) {}
    ~TGatedStream() override {
        std::lock_guard<std::mutex> L(FState->Lock);
        FState->Destroyed = true;
    }
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        std::unique_lock<std::mutex> L(FState->Lock);
        const int Call = ++FState->ReadCalls;
        FState->InRead = true;
        FState->Changed.notify_all();
        if (Call == FState->BlockAt) FState->Changed.wait(L, [this] { return FState->Open; });
        FState->InRead = false;
        FState->Changed.notify_all();
        std::memset(Buffer, Call, static_cast<std::size_t>(Count));
        return Count;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }

private:
    std::shared_ptr<TGateState> FState;
};

}  // namespace

TEST(ReadAheadStreamTest, DestroyingStopsTheWorkerAfterTheReadInProgress) {
    if (std::thread::hardware_concurrency() == 1) GTEST_SKIP() << "no read-ahead thread on one core";
    auto State = std::make_shared<TGateState>();
    State->BlockAt = 2;
    auto S = std::make_unique<TSFDSReadAheadStream>(std::make_unique<TGatedStream>(State), 1 << 30, Chunk);
    char Buf[100];
    ASSERT_EQ(S->Read(Buf, 100), 100);
    {
        std::unique_lock<std::mutex> L(State->Lock);
        State->Changed.wait(L, [&] { return State->ReadCalls == 2 && State->InRead; });
    }
    // The worker is inside the second read; destruction waits for it, and
    // only for it.
    std::thread Opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard<std::mutex> L(State->Lock);
        State->Open = true;
        State->Changed.notify_all();
    });
    S.reset();
    Opener.join();
    EXPECT_TRUE(State->Destroyed);
    EXPECT_FALSE(State->InRead);
    EXPECT_EQ(State->ReadCalls, 2);
}

TEST(ReadAheadStreamTest, UnreadStreamNeverReadsItsInner) {
    auto State = std::make_shared<TGateState>();
    {
        TSFDSReadAheadStream S(std::make_unique<TGatedStream>(State), 1 << 30, Chunk);
        EXPECT_EQ(S.Position(), 0);
    }
    EXPECT_TRUE(State->Destroyed);
    EXPECT_EQ(State->ReadCalls, 0);
}

TEST(ReadAheadStreamTest, DestroyingWithTheRingFullDoesNotHang) {
    auto State = std::make_shared<TGateState>();
    auto S = std::make_unique<TSFDSReadAheadStream>(std::make_unique<TGatedStream>(State), 1 << 30, Chunk);
    char Buf[10];
    ASSERT_EQ(S->Read(Buf, 10), 10);
    EXPECT_EQ(Buf[9], 1);
    {
        // The worker fills what the ring holds and then waits for the caller.
        std::unique_lock<std::mutex> L(State->Lock);
        State->Changed.wait_for(L, std::chrono::seconds(5), [&] { return State->ReadCalls >= 8 && !State->InRead; });
    }
    S.reset();
    EXPECT_TRUE(State->Destroyed);
    EXPECT_LE(State->ReadCalls, 9);
}
