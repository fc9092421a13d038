// Reads one container from a stream: checks the fixed header, reads the
// info block and the extra fields, decodes and digests the entry table and
// hands every entry record on - to an entry table, to handlers, or both.
// The only code that interprets the header and the entry table, and the
// source of every format error message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

class TSFDSCustomSource;
class TSFDSCustomReader;
class TSFDSFileExtraInfoList;
class TSFDS_FileEntrys;

// Called once per entry read. FileData is the handler's own copy, names
// included; FileNO counts from 1, FileCount is the header's entry count.
using TSFDSOnReadFileEntry = std::function<void(TSFDSCustomReader* Sender, const SFDS_FileEntryRecord& FileData,
                                                std::int32_t FileNO, std::int32_t FileCount)>;
// Asked whether a container whose format GUID differs from the reader's
// required one may be read; Supported arrives true.
using TSFDSSupportedEvent = void (*)(TSFDSCustomReader* Sender, const TGUID& GUID, bool& Supported);

class TSFDSCustomStreamParser : public TSFDSContainerValues {
public:
    // The source must stand at RelativeOffset (the container start) when
    // Parse runs. Reader may be null; it is never freed by the parser.
    TSFDSCustomStreamParser(TStream* SourceStream, std::int64_t RelativeOffset, bool FreeSourceOnDestroy,
                            TSFDSCustomSource* Reader);
    // The same, handing the source over.
    TSFDSCustomStreamParser(std::unique_ptr<TStream> SourceStream, std::int64_t RelativeOffset,
                            TSFDSCustomSource* Reader);
    TSFDSCustomStreamParser(const TSFDSCustomStreamParser&) = delete;
    TSFDSCustomStreamParser& operator=(const TSFDSCustomStreamParser&) = delete;
    virtual ~TSFDSCustomStreamParser();

    // Reads the container once. MetaData, when given, is emptied and refilled
    // with the extra fields; FileList, when given, receives every entry.
    // Entry records are read only when there is a table or a handler to take
    // them. When Parse raises, what was read so far stays where it went.
    void Parse(TSFDSFileExtraInfoList* MetaData, TSFDS_FileEntrys* FileList, bool AssignUniqueNames,
               TStreamAutorenameMode StreamAutorenameMode);

    const TSFDSOnReadFileEntry& OnFileEntry() const { return FOnFileEntry; }
    void SetOnFileEntry(TSFDSOnReadFileEntry Value) { FOnFileEntry = std::move(Value); }

    // The container's values: see TSFDSContainerValues.
    const TGUID& Guid() const { return FGuid; }
    std::int64_t RelativeOffset() const { return FRelOffset; }

private:
    [[noreturn]] void Fail(const char* Message) const;
    std::string SourceName() const;
    TSFDSCustomReader* CustomReader() const;
    void ReadHeader();
    void ReadInfoBlock(TSFDSFileExtraInfoList* MetaData);
    void ReadEntries(TStream& Table, TSFDS_FileEntrys* FileList, bool AssignUniqueNames,
                     TStreamAutorenameMode StreamAutorenameMode);

    std::unique_ptr<TStream> FOwnedSource;  // set while the parser frees the source
    TStream* FSourceStream = nullptr;
    TSFDSOnReadFileEntry FOnFileEntry;
    TGUID FGuid;
    std::int64_t FRelOffset = 0;
    TSFDSCustomSource* FReader = nullptr;
};

// Separator normalisation of a stored name as the renaming mode says; a
// multi-byte character is never split or changed.
void SFDS_NormalizeEntryName(std::string& Name, TStreamAutorenameMode Mode);
