// Packing many entries: the same container with any number of threads, also
// when threads are refused; the caller hears of every entry in order on its
// own thread; a failing or cancelled entry ends the pack there.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/MemoryStream.h"
#include "sfds/sfds_packer.h"
#include "sfds/sfds_workers.h"
#include "support/TestBytes.h"

namespace {

// Entries of text and noise around the compressors' buffer sizes, more of
// them and larger in all than what the caller's thread packs alone.
std::vector<std::string> Contents() {
    std::vector<std::string> C;
    for (std::size_t I = 0; I < 40; ++I) {
        const std::size_t Size = (I * 7919) % 90000 + (I % 5 == 0 ? 0 : 1);
        const unsigned Seed = static_cast<unsigned>(I);
        C.push_back(I % 2 ? std::string(Size, static_cast<char>('a' + I % 26)) + PatternBytes(Size / 3, Seed)
                          : PatternBytes(Size, Seed));
    }
    C[3].clear();
    return C;
}

class TTestSource : public TSFDSPackSource {
public:
    explicit TTestSource(const std::vector<std::string>& Contents) : FContents(Contents) {}
    std::unique_ptr<TStream> Open(std::size_t Index) override {
        if (Index == FailAt) throw std::runtime_error("cannot open " + std::to_string(Index));
        return std::make_unique<TMemoryStream>(FContents[Index]);
    }
    void Starting(std::size_t Index) override {
        if (std::this_thread::get_id() != FCaller) Misplaced = true;
        Started.push_back(Index);
        if (Index == CancelAt) FCancelled = true;
    }
    void Advance(std::int64_t Bytes) override {
        if (std::this_thread::get_id() != FCaller) Misplaced = true;
        Advanced += Bytes;
    }
    bool Cancelled() override { return FCancelled; }

    std::size_t FailAt = SIZE_MAX;
    std::size_t CancelAt = SIZE_MAX;
    std::vector<std::size_t> Started;
    std::int64_t Advanced = 0;
    bool Misplaced = false;  // a call the caller's thread should have had

private:
    const std::vector<std::string>& FContents;
    const std::thread::id FCaller = std::this_thread::get_id();
    std::atomic<bool> FCancelled{false};
};

std::vector<TSFDSPackItem> ItemsOf(const std::vector<std::string>& Contents) {
    std::vector<TSFDSPackItem> Items;
    for (std::size_t I = 0; I < Contents.size(); ++I)
        Items.push_back({"dir\\" + std::to_string(I) + ".bin", static_cast<std::int64_t>(Contents[I].size())});
    return Items;
}

}  // namespace

TEST(PackerTest, TheSameContainerWhateverThreadsThereAre) {
    const std::vector<std::string> C = Contents();
    const std::vector<TSFDSPackItem> Items = ItemsOf(C);
    std::int64_t Total = 0;
    for (const std::string& S : C) Total += static_cast<std::int64_t>(S.size());
    struct TCase {
        unsigned Threads;
        int StartLimit;  // new threads the workers may start; -1: any
    };
    const TCase Cases[] = {{1, -1}, {3, -1}, {0, -1}, {3, 0}, {3, 1}};
    for (const std::uint8_t Format : {0, 1, 2}) {
        std::string First;
        for (const TCase& Case : Cases) {
            SCOPED_TRACE(testing::Message() << "format " << int(Format) << ", " << Case.Threads << " threads, limit "
                                            << Case.StartLimit);
            const TSFDSWorkerStartLimit Limit(Case.StartLimit);
            TMemoryStream Out;
            TTestSource Source(C);
            {
                TSFDSFileWriter Writer(Out);
                Writer.SetTimeCreate(0);  // otherwise the time of each run
                SFDS_PackEntries(Writer, Items, Source, Format, clDefault, Case.Threads);
                Writer.Finish();
            }
            ASSERT_EQ(Source.Started.size(), C.size());
            for (std::size_t I = 0; I < C.size(); ++I) EXPECT_EQ(Source.Started[I], I);
            EXPECT_EQ(Source.Advanced, Total);
            EXPECT_FALSE(Source.Misplaced);
            if (First.empty()) First = Out.AsString();
            else EXPECT_TRUE(Out.AsString() == First);
        }
    }
}

// An entry that cannot be read, or Ctrl-C while an entry is written: the pack
// ends at that entry with its error, whether workers were ahead or not.
TEST(PackerTest, AFailingOrCancelledEntryEndsThePackThere) {
    const std::vector<std::string> C = Contents();
    const std::vector<TSFDSPackItem> Items = ItemsOf(C);
    for (const unsigned Threads : {1u, 3u}) {
        SCOPED_TRACE(testing::Message() << Threads << " threads");
        {
            TMemoryStream Out;
            TSFDSFileWriter Writer(Out);
            TTestSource Source(C);
            Source.FailAt = 17;
            try {
                SFDS_PackEntries(Writer, Items, Source, 1, clDefault, Threads);
                ADD_FAILURE() << "no error";
            } catch (const std::runtime_error& E) {
                EXPECT_STREQ(E.what(), "cannot open 17");
            }
            EXPECT_EQ(Source.Started.size(), 18u);
        }
        {
            TMemoryStream Out;
            TSFDSFileWriter Writer(Out);
            TTestSource Source(C);
            Source.CancelAt = 9;
            EXPECT_THROW(SFDS_PackEntries(Writer, Items, Source, 1, clDefault, Threads), ESFDSUserAbortedOperation);
            EXPECT_EQ(Source.Started.size(), 10u);
            EXPECT_LE(Writer.EntryCount(), 9);
        }
    }
}
