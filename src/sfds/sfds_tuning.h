// The sizes and counts that decide how work is spread over threads and how
// much memory it may hold, in one place, each with the reason for its value.
// They are measured choices for machines of two to eight cores; none of them
// changes a result, only how fast it comes and what it costs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

// ---- Parallel extraction and test -----------------------------------------

// Decompressed bytes the workers may hold ahead of the caller, summed over
// every entry read but not yet taken: enough to keep two cores busy across a
// run of entries of a few MiB, little beside the memory an opened table of a
// million entries takes.
inline constexpr std::int64_t SFDS_ExtractAheadBudget = std::int64_t{64} << 20;

// Entries the workers may be ahead of the caller, whatever their size: a
// table of millions of one-byte entries would otherwise fill the byte budget
// with bookkeeping alone. A few thousand still hide any hand-off latency.
inline constexpr std::size_t SFDS_ExtractAheadEntries = 4096;

// A worker claims the next entries in runs of at most this many entries and
// this many declared bytes (at least one entry): one claim per entry would
// make the lock the bottleneck for tiny entries, larger runs would leave the
// other workers idle at the end of a selection.
inline constexpr std::size_t SFDS_ExtractRunEntries = 128;
inline constexpr std::int64_t SFDS_ExtractRunBytes = std::int64_t{256} << 10;

// A worker hands what it read over to the caller once this many bytes (four
// chunks) or entries are waiting, at the end of its run, or before it waits:
// a hand-off per chunk or per entry costs more than the work on a small one.
inline constexpr std::size_t SFDS_ExtractHandOverBytes = std::size_t{128} << 10;
inline constexpr std::size_t SFDS_ExtractHandOverEntries = 128;

// Chunks the entry the caller is at may hold beyond the budget, so that it
// never waits for entries behind it.
inline constexpr std::size_t SFDS_ExtractHeadChunks = 16;

// A short chunk is copied into a block of its own size, so that a tiny entry
// holds its few bytes and not a whole chunk buffer; this is what such a block
// is counted as beyond its bytes (the allocator's own share).
inline constexpr std::int32_t SFDS_ExtractBlockOverhead = 64;

// Below both of these a selection is read on the caller's thread alone:
// starting a thread costs from tens of microseconds to a few milliseconds
// (some systems), more than the overlap gains on a few small entries.
inline constexpr std::size_t SFDS_ParallelMinEntries = 64;
inline constexpr std::int64_t SFDS_ParallelMinBytes = std::int64_t{1} << 20;

// Entries from this size on are also read ahead inside their worker, so that
// one large entry alone still keeps two cores busy (one decompresses, one
// digests); below it the extra thread would cost more than it gains.
inline constexpr std::int64_t SFDS_WorkerReadAheadEntrySize = std::int64_t{4} << 20;

// ---- Read-ahead of one stream ---------------------------------------------

// Below this expected size a stream is read on the caller's thread: starting
// or waking a thread costs more than the overlap gains for a few chunks.
inline constexpr std::int64_t SFDS_ReadAheadMinSize = 4 * 32768;

// The chunk of the read-ahead stream (a viewer's picture): twice the
// extraction's, as a picture decoder asks for small reads and each chunk is
// a hand-off between two threads.
inline constexpr std::int32_t SFDS_ReadAheadChunkSize = 64 * 1024;

// Chunks a read-ahead worker may be ahead of its reader: enough to ride out
// a slow digest or write of a few chunks, little memory per open stream.
inline constexpr std::uint64_t SFDS_ReadAheadSlots = 8;
// A worker that found the ring full sleeps until half of it is free again:
// it wakes once per half ring rather than once per chunk, as waking a thread
// is a round trip through the system on some.
inline constexpr std::uint64_t SFDS_ReadAheadRefillAt = SFDS_ReadAheadSlots / 2;

// ---- Worker threads ---------------------------------------------------------

// How long a worker whose job has ended waits for the next before its thread
// ends: starting a thread costs milliseconds on some systems, as much as
// inflating the first tenth of a picture, and a viewer or a tool walking an
// archive starts jobs seconds apart.
inline constexpr std::chrono::seconds SFDS_WorkerLinger{30};

// ---- Packing --------------------------------------------------------------

// Entries up to this size are compressed ahead, in memory, by the helpers;
// larger ones are compressed by the writing thread when their turn comes, so
// that one huge file never needs its compressed image in memory.
inline constexpr std::int64_t SFDS_PackPrepareLimit = std::int64_t{64} << 20;
// How far ahead of the writing thread the helpers may hold entries (sizes
// summed over the entries taken but not yet written): room for a few
// prepared entries of the largest size per helper on two to four cores.
inline constexpr std::int64_t SFDS_PackAheadBudget = std::int64_t{256} << 20;

// Entries the helpers may be ahead of the writing thread, whatever their
// size: a folder of many tiny files would otherwise fill the budget with
// bookkeeping alone. A thousand prepared entries still hide any hand-off.
inline constexpr std::size_t SFDS_PackAheadEntries = 1024;
// A helper claims the next entries in runs of at most this many entries and
// this many bytes (at least one entry), and hands what it compressed over in
// batches of the same size: one claim and one hand-off per entry would cost
// more than compressing a tiny file, larger runs would leave the other helpers
// idle at the end of the input.
inline constexpr std::size_t SFDS_PackRunEntries = 32;
inline constexpr std::int64_t SFDS_PackRunBytes = std::int64_t{256} << 10;
// Below both of these the writing thread compresses every entry itself:
// waking or starting a helper costs up to milliseconds on some systems, as
// long as compressing a few hundred KiB.
inline constexpr std::size_t SFDS_PackParallelMinEntries = 16;
inline constexpr std::int64_t SFDS_PackParallelMinBytes = std::int64_t{1} << 20;

// The whole-entry codecs (their own header, ZWholeEntryLimit) work on
// entries up to 64 MiB in one call, for the same reason as the prepare limit:
// beyond it the memory per thread outweighs the gain.

// ---- Objects the codecs keep ------------------------------------------------

// How many of each kind of codec object (a deflater's tables, a whole-entry
// buffer) are kept for reuse: one per thread that runs at once, and at least
// two, as a caller and one worker overlap even on one core.
inline std::size_t SFDS_KeptObjects() { return std::max(2u, std::thread::hardware_concurrency()); }
