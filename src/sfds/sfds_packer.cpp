#include "sfds/sfds_packer.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "sfds/sfds_pipeline.h"
#include "sfds/sfds_tuning.h"

namespace {

// Reads through to the source, tells the caller of every byte read and stops
// at the first read after a cancel.
class TCountedStream : public TStream {
public:
    TCountedStream(TStream& Source, TSFDSPackSource& Caller) : FSource(Source), FCaller(Caller) {}
    std::int64_t GetSize() override { return FSource.Size(); }
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        if (FCaller.Cancelled()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        const std::int32_t N = FSource.Read(Buffer, Count);
        if (N > 0) FCaller.Advance(N);
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override {
        throw ESFDSInvalidStreamOperation(SFDS_ERR_WriteReadOnly);
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override { return FSource.Seek(Offset, Origin); }

private:
    TStream& FSource;
    TSFDSPackSource& FCaller;
};

void StreamItem(TSFDSFileWriter& Writer, const TSFDSPackItem& Item, std::size_t Index, TSFDSPackSource& Source,
                std::uint8_t Format, TSFDSCompressionLevel Level) {
    const std::unique_ptr<TStream> Bytes = Source.Open(Index);
    TCountedStream Counted(*Bytes, Source);
    Writer.AddStream(Counted, Item.StoredName, Format, Level);
}

}  // namespace

void SFDS_PackEntries(TSFDSFileWriter& Writer, const std::vector<TSFDSPackItem>& Items, TSFDSPackSource& Source,
                      std::uint8_t Format, TSFDSCompressionLevel Level, unsigned Threads) {
    if (Threads == 0) Threads = std::max(1u, std::thread::hardware_concurrency());
    const TSFDSCompressionStrategy Strategy = Writer.CompressionStrategy();
    TSFDSAheadLimits Limits;
    Limits.Bytes = SFDS_PackAheadBudget;
    Limits.Items = SFDS_PackAheadEntries;
    Limits.RunItems = SFDS_PackRunEntries;
    Limits.RunBytes = SFDS_PackRunBytes;
    Limits.HandOverItems = SFDS_PackRunEntries;
    Limits.HandOverBytes = SFDS_PackRunBytes;
    Limits.MinItems = SFDS_PackParallelMinEntries;
    Limits.MinBytes = SFDS_PackParallelMinBytes;
    // Entries too large to prepare are left to the caller's thread. A cancel
    // is seen there, and ends the workers after the entry each is at.
    TSFDSAheadPipeline<TSFDSPreparedEntry> Ahead(
        Items.size(), Threads == 1 ? 0 : Threads, Limits,
        [&Items](std::size_t I) -> std::int64_t {
            return Items[I].Size > SFDS_PackPrepareLimit ? -1 : std::max<std::int64_t>(Items[I].Size, 0);
        },
        [&](std::size_t I) {
            const std::unique_ptr<TStream> Bytes = Source.Open(I);
            return SFDS_PrepareEntry(*Bytes, Format, Level, Strategy);
        });
    for (std::size_t I = 0; I < Items.size(); ++I) {
        if (Source.Cancelled()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        Source.Starting(I);
        if (Source.Cancelled()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        const std::optional<TSFDSPreparedEntry> Made = Ahead.Next();
        if (Made) {
            Writer.AddPrepared(*Made, Items[I].StoredName, Format, Level);
            Source.Advance(Made->FileSize);
        } else {
            StreamItem(Writer, Items[I], I, Source, Format, Level);
        }
    }
}
