// The named, typed extra fields a container carries besides its fixed texts:
// strings, 64-bit numbers, dates, flags and binary blocks. Field names are kept
// unique with ASCII letters compared without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "runtime/PointerList.h"
#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

// One field. Only the value members of the current FieldType hold data. A
// record handed to AddOrUpdateField is only read: its pointers may refer to the
// caller's memory. In a list, they refer to buffers the list owns.
struct TSFDSFileExtraInfoField {
    std::string Name;
    TSFDSFileExtraInfo FieldType = EIStr;
    const char* ValueString = nullptr;  // EIStr: 8-bit text, no terminating zero
    std::int32_t ValueStringSize = 0;
    std::int64_t ValueNumber = 0;  // EINumber
    TDateTime ValueDate = 0;  // EIDate
    bool ValueBoolean = false;  // EIBoolean
    const std::uint8_t* ValueBinary = nullptr;  // EIBinary
    std::int32_t ValueBinarySize = 0;
};
using PSFDSFileExtraInfoField = const TSFDSFileExtraInfoField*;

// A field as a list keeps it: the record and the buffer its value points into.
class TSFDSFileExtraInfoListItem : public TSFDSFileExtraInfoField {
    friend class TSFDSFileExtraInfoList;
    std::unique_ptr<std::uint8_t[]> FBuffer;
};

// Fields in insertion order. Pointers from Items stay valid until that field
// is deleted or replaced, or the list is cleared or destroyed.
class TSFDSFileExtraInfoList : private TOwningList<TSFDSFileExtraInfoListItem> {
public:
    using TOwningList::Count;

    // Index of the field that now holds Item's data: an existing field of the
    // same name (ASCII case ignored) is updated in place and takes the letter
    // case of Item's name; otherwise a new field is appended.
    std::int32_t AddOrUpdateField(const TSFDSFileExtraInfoField& Item);
    // First field whose name equals Name with ASCII case ignored, or -1.
    std::int32_t IndexOfField(const std::string& Name) const;
    // An index outside 0..Count-1 is ignored.
    void Delete(std::int32_t Index);
    void Clear();
    // Copies of Source's fields replace the content; a null Source changes nothing.
    void Assign(const TSFDSFileExtraInfoList* Source);
    // Outside 0..Count-1: "List index out of bounds (%d)".
    PSFDSFileExtraInfoField Items(std::int32_t Index) const { return TOwningList::Items(Index); }

    // Writes the count and the fields in their tagged form.
    void SaveToStream(TStream& Stream) const;
    // Replaces the content with the list read at the stream's position. When a
    // read fails the fields read before stay and the exception passes on.
    void LoadFromStream(TStream& Stream);

private:
    static void CopyValue(TSFDSFileExtraInfoListItem& Target, const TSFDSFileExtraInfoField& Source);
    void RebuildIndex();

    // ASCII-folded name -> index, so that loading many fields stays linear.
    std::unordered_map<std::string, std::int32_t> FIndex;
};
