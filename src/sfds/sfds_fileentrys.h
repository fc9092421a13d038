// The in-memory table of the stored files of one opened archive, in the order
// of the container's entry table. It owns its records.
//
// Names are compared as the rest of the library compares them: both sides
// taken from the process code page to UTF-16, then only the ASCII letters
// folded. A hash index from the folded name to the first index holding it
// keeps look-ups constant-time while answering exactly what a scan from
// index 0 would (the first match in table order).
//
// Archives can hold hundreds of thousands of entries, and opening one must
// stay linear in their number, freeing it too: records live in fixed-size
// blocks (one allocation per block, addresses stable as the table grows)
// and each name index is one flat array of (hash, first index) pairs. The
// records' texts (names and extra text) are copied into one arena of large
// chunks that the records refer to, so a table makes no allocation per entry.
//
// Threads: the const members may run on several threads at once (the index
// of original names that the first such look-up builds is built under a
// lock); a non-const member needs the table to itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sfds/sfds_consts.h"

class TSFDS_FileEntrys {
public:
    TSFDS_FileEntrys();
    TSFDS_FileEntrys(const TSFDS_FileEntrys&) = delete;
    TSFDS_FileEntrys& operator=(const TSFDS_FileEntrys&) = delete;

    std::int32_t Count() const { return FCount; }
    // Index of the record Item points to, or -1 when it is none of this table's.
    std::int32_t IndexOf(const SFDS_FileEntryRecord* Item) const;
    // Raises EListError "List index out of bounds (%d)" outside 0..Count - 1.
    // Records are the table's; callers read them and must not rename them.
    // The pointer stays valid until the table is cleared or destroyed.
    PSFDS_FileEntryRecord Items(std::int32_t Index) const;

    // Appends a private copy of Entry (no duplicate check) and returns its
    // index. On memory exhaustion raises EOutOfMemory with the table unchanged.
    std::int32_t AddEntry(const SFDS_FileEntryRecord& Entry);
    // The same, for a record the caller has no further use for.
    std::int32_t AddEntry(SFDS_FileEntryRecord&& Entry);
    // The first record in table order whose FileName / OriginalFileName
    // matches, or null.
    PSFDS_FileEntryRecord FindEntry(const std::string& FileName) const;
    PSFDS_FileEntryRecord FindEntryOriginal(const std::string& OriginalFileName) const;
    bool FileExists(const std::string& FileName) const { return FindEntry(FileName) != nullptr; }
    bool FileOriginalExists(const std::string& OriginalFileName) const {
        return FindEntryOriginal(OriginalFileName) != nullptr;
    }
    // 0 when no record matches.
    std::int64_t FileSize(const std::string& FileName) const;
    std::int32_t FileAttributes(const std::string& FileName) const;
    // Index of the first record whose FileName matches, or -1.
    std::int32_t IndexOfName(const std::string& FileName) const;

    // A hint that FileName is about to be looked up or added: starts loading
    // its place in the name index, so that work done meanwhile hides the
    // memory latency of a large table. Never fails, changes nothing.
    void PrefetchName(const std::string& FileName) const noexcept;

    void Clear();
    // Room for N records without growing the name index again.
    void Reserve(std::size_t N);

private:
    // A power of two, so that an index splits into block and offset by shifts.
    static constexpr std::int32_t BlockShift = 7;
    static constexpr std::int32_t BlockSize = 1 << BlockShift;

    using TNameField = TSFDSEntryString SFDS_FileEntryRecord::*;
    struct TSlot {
        std::uint32_t Hash = 0;
        std::int32_t Index = -1;  // the first record holding the name; -1: empty slot
    };
    // Open addressing with linear probing; one slot per distinct folded name.
    struct TNameIndex {
        std::vector<TSlot> Slots;  // empty or a power of two long, at most half used
        std::size_t Used = 0;
    };
    struct TKey;

    TKey MakeKey(std::string_view Name) const;
    // The key of a name the 7-bit fast path takes; false for any other name.
    bool FastAsciiHash(std::string_view Name, std::uint32_t& Hash) const noexcept;
    bool IsFastAscii(std::string_view Name) const;
    bool Matches(const TKey& Key, std::string_view Stored) const;
    std::int32_t Find(const TNameIndex& Index, TNameField Field, const TKey& Key) const;
    // The slot a name not yet in the index goes to, or -1 when the index
    // already holds the name (its first record keeps it). Changes nothing.
    std::int64_t SlotForInsert(const TNameIndex& Index, TNameField Field, const TKey& Key) const;
    static void Grow(TNameIndex& Index, std::size_t Entries);
    std::int32_t Append(SFDS_FileEntryRecord&& Entry);
    const TNameIndex& OriginalIndex() const;

    // Room for Size bytes and a NUL in the arena, taken before the table
    // changes; Store then copies a text there and makes Field refer to it.
    void ReserveText(std::size_t Size);
    void StoreText(TSFDSEntryString& Field, std::string_view Text) noexcept;

    std::vector<std::unique_ptr<SFDS_FileEntryRecord[]>> FBlocks;
    // The records' texts, back to back, each followed by a NUL. Chunks never
    // move, so the records can refer to them for the table's lifetime.
    std::vector<std::unique_ptr<char[]>> FArena;
    std::size_t FArenaUsed = 0;
    std::size_t FArenaSize = 0;
    std::int32_t FCount = 0;
    TNameIndex FByName;
    // Look-ups by original name are rare; that index is built on the first
    // one and kept up to date from then on.
    mutable TNameIndex FByOriginalName;
    mutable std::atomic<bool> FOriginalIndexed{false};
    mutable std::mutex FOriginalIndexLock;
    // The process code page maps every 7-bit byte to the same UTF-16 unit, so
    // 7-bit names can skip the converter. Fixed when the table is created:
    // the code page is set at start-up, before any archive is opened.
    bool FAsciiIsIdentity = true;
};
