// Writes many entries into one container, compressing them ahead on the
// process's workers while the caller's thread writes them in their order: the
// container is the same byte for byte as when each is added with AddStream
// one after the other, with any number of threads.
//
// Entries up to SFDS_PackPrepareLimit (sfds_tuning.h) are compressed ahead in
// memory, no more than SFDS_PackAheadBudget of them at a time; a larger one
// is read and compressed by the caller's thread when its turn comes, so that
// it never needs its compressed image in memory. When no worker can be
// started, or the entries are too few and too small to pay for one, the
// caller's thread does every entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Stream.h"
#include "sfds/sfds_writer.h"

struct TSFDSPackItem {
    std::string StoredName;  // in the library's code page, as AddStream takes it
    std::int64_t Size = 0;   // expected; decides where it is compressed, not what is stored
};

// Where the entries' bytes come from, and what the caller hears of the work.
class TSFDSPackSource {
public:
    virtual ~TSFDSPackSource() = default;
    // Item Index's bytes, to be read to their end. Called once per item, on a
    // worker or on the caller's thread, possibly on several threads at once.
    // What it or the stream's Read raises fails the pack at that item.
    virtual std::unique_ptr<TStream> Open(std::size_t Index) = 0;
    // On the caller's thread, in order: item Index is written next.
    virtual void Starting(std::size_t Index) { (void)Index; }
    // On the caller's thread: Bytes more of the items' bytes are stored.
    virtual void Advance(std::int64_t Bytes) { (void)Bytes; }
    // Polled on the caller's thread, before each item and between reads: true
    // stops the pack with ESFDSUserAbortedOperation.
    virtual bool Cancelled() { return false; }
};

// Adds Items to Writer in their order with Format and Level (and the
// writer's strategy). Threads: 1, the caller's thread alone; more, that many
// workers compress ahead while the caller's thread writes (and compresses
// what they leave to it); 0, one worker per core. Raises what the first
// failing item raised, or ESFDSUserAbortedOperation once cancelled, with the
// items before it added and none after.
void SFDS_PackEntries(TSFDSFileWriter& Writer, const std::vector<TSFDSPackItem>& Items, TSFDSPackSource& Source,
                      std::uint8_t Format, TSFDSCompressionLevel Level, unsigned Threads = 0);
