// Writes SFDS containers: the fixed header, the stored bytes of each entry
// (as they are, or through a registered compressor), the extended info block
// with its extra fields, the entry table (as it is, or through a registered
// compressor) and the table's digest. The completion flag is written last, by
// Finish: a container whose writer never finished stays flagged incomplete
// and every reader refuses it.
//
// An entry, raw bytes or Finish that fails part-way (a write the destination
// refuses, also while a compressor completes its data; a source that fails)
// raises to the caller and breaks the writer: from then on it refuses every
// further call with ESFDSInvalidStreamOperation, so a container that lost
// bytes is never flagged complete.
//
// Layout: header at the container start C, then the entries' data in the
// order they were added, then the info block, then the entry table. With a
// locator, the container can sit inside a host file behind any host bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_extrainfo.h"

// Where Finish puts the 12-byte locator record (magic, absolute offset of C).
enum TSFDSLocatorPlacement : std::uint8_t {
    lpNone = 0,
    lpHostOffset = 1,  // over host bytes 46..57: the container must start at byte 58 or later
    lpHostEnd = 2,  // appended after the container: the host file's last 12 bytes
};

// An entry's stored bytes made ahead of writing (on any thread): what the
// writer would have written for it, the original size and the original
// bytes' MD5.
struct TSFDSPreparedEntry {
    std::string StoredBytes;
    std::int64_t FileSize = 0;
    TMD5Digest MD5Digest;
};

// Reads Source to its end and compresses it in memory with the registered
// compressor of Format (0: the bytes as they are). The same bytes as AddStream
// would write for the same source, format, level and strategy. An unregistered
// format raises ESFDSUnknownWriteFormat. Thread-safe: touches no writer.
TSFDSPreparedEntry SFDS_PrepareEntry(TStream& Source, std::uint8_t Format, TSFDSCompressionLevel Level = clDefault,
                                     TSFDSCompressionStrategy Strategy = csDefault);

class TSFDSFileWriter {
public:
    // The container starts at Dest's current position. Dest stays the caller's
    // and must outlive the writer. Writes the header, flagged incomplete.
    explicit TSFDSFileWriter(TStream& Dest);
    // Creates FileName (replacing any file of that name), or with AppendToHost
    // opens the existing file and starts the container at its end.
    explicit TSFDSFileWriter(const std::string& FileName, bool AppendToHost = false);
    // Does not finish: without Finish the completion flag stays 0.
    ~TSFDSFileWriter();
    TSFDSFileWriter(const TSFDSFileWriter&) = delete;
    TSFDSFileWriter& operator=(const TSFDSFileWriter&) = delete;

    // ---- Header and info block ----
    void SetFormatGUID(const TGUID& Value) { FFormatGUID = Value; }
    void SetTimeCreate(TDateTime Value) { FInfo.TimeCreate = Value; }
    void SetTitle(const std::string& Value) { FInfo.Title = Value; }
    void SetSubject(const std::string& Value) { FInfo.Subject = Value; }
    void SetAuthor(const std::string& Value) { FInfo.Author = Value; }
    void SetVersion(std::int32_t Value) { FInfo.Version = Value; }
    void SetMaker(const std::string& Value) { FInfo.Maker = Value; }
    void SetMakerVersion(std::int32_t Value) { FInfo.MakerVersion = Value; }
    void SetKeyWords(const std::string& Value) { FInfo.KeyWords = Value; }
    void SetComments(const std::string& Value) { FInfo.Comments = Value; }
    TSFDSFileExtraInfoList& ExtraInfoFields() { return FExtraInfoFields; }
    // Format of the entry table: 0 stores it as it is, any other value names a
    // registered compressor (checked by Finish).
    void SetFileListFormat(std::uint8_t Format, TSFDSCompressionLevel Level = clDefault) {
        FFileListFormat = Format;
        FFileListLevel = Level;
    }
    // Used for every compressed entry and table; the bzip2 format ignores it.
    void SetCompressionStrategy(TSFDSCompressionStrategy Value) { FStrategy = Value; }
    // Checked at once: lpHostOffset needs C >= 58, lpHostEnd needs C > 0.
    void SetLocator(TSFDSLocatorPlacement Placement);

    // ---- Entries ----
    // Each stores the bytes (Format 0) or their compressed form (a registered
    // format ID), with the MD5 of the original bytes, and returns the entry's
    // index. Data moves in bounded pieces; sources of any size are fine.
    // An unregistered format raises ESFDSUnknownWriteFormat before anything
    // is written.
    std::int32_t AddStream(TStream& Source, const std::string& StoredName, std::uint8_t Format = 0,
                           TSFDSCompressionLevel Level = clDefault, std::int32_t FileAttributes = 0,
                           const std::string& ExtraDataStr = std::string(), std::int32_t ExtraDataInt = 0);
    // Source is read from its current position to its end.
    std::int32_t AddFile(const std::string& DiskFileName, const std::string& StoredName, std::uint8_t Format = 0,
                         TSFDSCompressionLevel Level = clDefault, std::int32_t FileAttributes = 0);
    std::int32_t AddBytes(const std::string& StoredName, std::string_view Bytes, std::uint8_t Format = 0,
                          TSFDSCompressionLevel Level = clDefault, std::int32_t FileAttributes = 0);

    // An entry from SFDS_PrepareEntry (made with this writer's strategy for
    // the same Format and Level): the container is the same byte for byte as
    // with AddStream.
    std::int32_t AddPrepared(const TSFDSPreparedEntry& Prepared, const std::string& StoredName, std::uint8_t Format,
                             TSFDSCompressionLevel Level = clDefault, std::int32_t FileAttributes = 0);
    TSFDSCompressionStrategy CompressionStrategy() const { return FStrategy; }

    // Fixture building: raw bytes in the data area, with no entry; returns
    // their position relative to C.
    std::int64_t WriteRawData(std::string_view Bytes);
    // Fixture building: a record taken into the table as it is (positions
    // relative to C, nothing written).
    std::int32_t AddEntryRecord(const SFDS_FileEntryRecord& Entry);
    // The recorded entries, changeable until Finish.
    std::int32_t EntryCount() const { return static_cast<std::int32_t>(FEntries.size()); }
    SFDS_FileEntryRecord& Entry(std::int32_t Index);

    // Writes the info block, the entry table, the header, the locator if any,
    // and finally the completion flag; leaves the destination at the end of
    // what was written. Once only.
    void Finish();

    std::int64_t ContainerStart() const { return FStart; }
    bool Finished() const { return FFinished; }
    TStream& Dest() { return *FDest; }

private:
    void Init();
    // Raises unless entries may still be added and Finish may run.
    void CheckOpen() const;
    // Runs Body; an exception leaving it breaks the writer.
    template <class F>
    auto Guarded(F&& Body) -> decltype(Body());
    // Records an entry whose data WriteData(record) writes at the destination's
    // position and whose size and digest it fills in.
    template <class F>
    std::int32_t AddEntry(const std::string& StoredName, std::uint8_t FormatID, TSFDSCompressionLevel Level,
                          std::int32_t FileAttributes, F&& WriteData);
    // The header as it stands, flagged incomplete, at the destination's position.
    void WriteHeader();
    void WriteFileList();

    std::unique_ptr<TStream> FOwnedDest;
    TStream* FDest = nullptr;
    std::int64_t FStart = 0;
    bool FFinished = false;
    bool FBroken = false;

    TGUID FFormatGUID;
    // The creation time and the info block's values; the rest of it is
    // not the writer's to set.
    SFDS_ContainerInfo FInfo;
    TSFDSFileExtraInfoList FExtraInfoFields;
    std::uint8_t FFileListFormat = 0;
    TSFDSCompressionLevel FFileListLevel = clDefault;
    TSFDSCompressionStrategy FStrategy = csDefault;
    TSFDSLocatorPlacement FLocator = lpNone;

    std::vector<SFDS_FileEntryRecord> FEntries;
    // Filled by Finish.
    std::int64_t FFileInfoExPosition = 0;
    std::int64_t FFileListPositionStart = 0;
    std::int64_t FFileListPositionEnd = 0;
    TMD5Digest FFileListMD5;
};

// Writes a 12-byte locator record (magic, then ContainerOffset as int64) at
// the stream's position.
void SFDS_WriteLocatorRecord(TStream& Stream, std::int64_t ContainerOffset);

// The current time as a TDateTime, in universal time.
TDateTime SFDS_NowUTC();
