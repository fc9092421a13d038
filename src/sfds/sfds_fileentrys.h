// The in-memory table of the stored files of one opened archive, in the order
// of the container's entry table. It owns its records.
//
// Names are compared as the rest of the library compares them: both sides
// taken from the process code page to UTF-16, then only the ASCII letters
// folded. A hash index from the folded name to the first index holding it
// keeps look-ups constant-time while answering exactly what a scan from
// index 0 would (the first match in table order).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "runtime/PointerList.h"
#include "sfds/sfds_consts.h"

// Privately derived so that nothing can remove or reorder records behind the
// index's back; the table has no operation that removes single entries.
class TSFDS_FileEntrys : private TOwningList<SFDS_FileEntryRecord> {
public:
    TSFDS_FileEntrys();

    using TOwningList::Count;
    using TOwningList::IndexOf;
    // Raises EListError "List index out of bounds (%d)" outside 0..Count - 1.
    // Records are the table's; callers read them and must not rename them.
    using TOwningList::Items;

    // Appends a private copy of Entry (no duplicate check) and returns its
    // index. On memory exhaustion raises EOutOfMemory with the table unchanged.
    std::int32_t AddEntry(const SFDS_FileEntryRecord& Entry);
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

    void Clear();
    void Reserve(std::size_t N);

private:
    using TNameIndex = std::unordered_map<std::u16string, std::int32_t>;
    std::u16string Key(const std::string& Name) const;
    PSFDS_FileEntryRecord Lookup(const TNameIndex& Index, const std::string& Name) const;

    TNameIndex FByName;
    TNameIndex FByOriginalName;
    // The process code page maps every 7-bit byte to the same UTF-16 unit, so
    // 7-bit names can skip the converter. Fixed when the table is created:
    // the code page is set at start-up, before any archive is opened.
    bool FAsciiIsIdentity = true;
};
