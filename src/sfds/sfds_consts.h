// The SFDS container's constants, stored records and enumerations, the
// library's exception classes and its whole message table.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/Exceptions.h"
#include "sfds/sfds_entrystring.h"

// ---- Byte layout -----------------------------------------------------------

inline constexpr char SFDS_HeaderSignature[] = ".SFDS";  // 5 bytes, ASCII case ignored
inline constexpr std::uint32_t SFDS_Magic = 0x06B10903;
inline constexpr char SFDS_EntrySignature[] = "SFDS";  // 4 bytes, ASCII case ignored
inline constexpr std::int32_t SFDS_HeaderSize = 83;
inline constexpr std::int64_t SFDS_LocatorOffset = 46;
inline constexpr std::int32_t SFDS_LocatorSize = 12;  // magic (uint32) + absolute offset (int64)

// Offsets of the header fields, relative to the container start.
namespace SFDS_HeaderField {
inline constexpr int Signature = 0;
inline constexpr int Magic = 5;
inline constexpr int FormatGUID = 9;
inline constexpr int Complete = 25;
inline constexpr int FileNumber = 26;
inline constexpr int Reserved = 30;
inline constexpr int FileListPositionStart = 34;
inline constexpr int FileListPositionEnd = 42;
inline constexpr int InternalCompressionFormat = 50;
inline constexpr int InternalFileListDataMD5 = 51;
inline constexpr int TimeCreate = 67;
inline constexpr int FileInfoExPosition = 75;
}  // namespace SFDS_HeaderField

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::uint8_t D4[8] = {};

    friend bool operator==(const TGUID& A, const TGUID& B) {
        return A.D1 == B.D1 && A.D2 == B.D2 && A.D3 == B.D3 && std::memcmp(A.D4, B.D4, 8) == 0;
    }
};
using PGUID = const TGUID*;

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

struct TMD5Digest {
    std::uint8_t v[16] = {};
    friend bool operator==(const TMD5Digest& A, const TMD5Digest& B) { return std::memcmp(A.v, B.v, 16) == 0; }
};

// One stored file, as the parser found it in the entry table.
struct SFDS_FileEntryRecord {
    TSFDSEntryString FileName;          // the name it is found under (normalised, made unique)
    TSFDSEntryString OriginalFileName;  // exactly as stored
    std::int64_t FileSize = 0;
    std::int32_t FileAttributes = 0;
    std::int64_t StartPosition = 0;  // relative to the container start
    std::int64_t EndPosition = 0;    // exclusive, relative to the container start
    std::uint8_t CompressionFormat = 0;
    std::uint8_t CompressionLevel = 0;
    TMD5Digest MD5Digest;
    TSFDSEntryString ExtraDataStr;
    std::int32_t ExtraDataInt = 0;
};
using PSFDS_FileEntryRecord = SFDS_FileEntryRecord*;

// What a container says about itself: the header's values and the info
// block's texts, as the parser read them. AllFilesSize is not stored; it is
// the sum of the entries' sizes, saturating.
struct SFDS_ContainerInfo {
    std::string Title;
    std::string Subject;
    std::string Author;
    std::int32_t Version = 0;
    std::string Maker;
    std::int32_t MakerVersion = 0;
    std::string KeyWords;
    std::string Comments;
    TDateTime TimeCreate = 0;
    std::int64_t AllFilesSize = 0;
    std::int32_t FileNumber = 0;  // the header's entry count
    // Relative to the container start.
    std::int64_t FileListPositionStart = 0;
    std::int64_t FileListPositionEnd = 0;
    std::int64_t FileInfoExPosition = 0;
    std::uint8_t InternalCompressionFormat = 0;
    TMD5Digest InternalFileListDataMD5;
};

// The container's values by name, for the parser that reads them and the
// reader that keeps them.
class TSFDSContainerValues {
public:
    // Everything the header and the info block said, in one piece.
    const SFDS_ContainerInfo& Info() const { return FInfo; }
    const std::string& Title() const { return FInfo.Title; }
    const std::string& Subject() const { return FInfo.Subject; }
    const std::string& Author() const { return FInfo.Author; }
    std::int32_t Version() const { return FInfo.Version; }
    const std::string& Maker() const { return FInfo.Maker; }
    std::int32_t MakerVersion() const { return FInfo.MakerVersion; }
    const std::string& KeyWords() const { return FInfo.KeyWords; }
    const std::string& Comments() const { return FInfo.Comments; }
    TDateTime TimeCreate() const { return FInfo.TimeCreate; }
    std::int64_t AllFilesSize() const { return FInfo.AllFilesSize; }
    std::uint8_t InternalCompressionFormat() const { return FInfo.InternalCompressionFormat; }
    const TMD5Digest& InternalFileListDataMD5() const { return FInfo.InternalFileListDataMD5; }
    // The header's entry count and table positions (relative to the container start).
    std::int32_t FileNumber() const { return FInfo.FileNumber; }
    std::int64_t FileListPositionStart() const { return FInfo.FileListPositionStart; }
    std::int64_t FileListPositionEnd() const { return FInfo.FileListPositionEnd; }
    std::int64_t FileInfoExPosition() const { return FInfo.FileInfoExPosition; }

protected:
    SFDS_ContainerInfo FInfo;
};

enum TSFDSCompressionLevel : std::uint8_t { clFastest = 0, clDefault = 1, clMax = 2 };
enum TSFDSCompressionStrategy : std::uint8_t { csDefault = 0, csFiltered = 1, csHuffman = 2, csRLE = 3, csFixed = 4 };
enum TSFDSFileExtraInfo : std::uint8_t { EIStr = 0, EINumber = 1, EIDate = 2, EIBoolean = 3, EIBinary = 4 };
enum TStreamAutorenameMode : std::uint8_t { sarmNone = 0, sarmSystem = 1, sarmWindows = 2, sarmUNIX = 3 };

// ---- Exceptions ------------------------------------------------------------

RTL_DECLARE_EXCEPTION(ESFDSException, Exception);
RTL_DECLARE_EXCEPTION(ESFDSDecompressionError, ESFDSException);
RTL_DECLARE_EXCEPTION(ESFDSNilSourceStream, ESFDSException);
RTL_DECLARE_EXCEPTION(ESFDSInvalidStreamOperation, ESFDSException);
RTL_DECLARE_EXCEPTION(ESFDSUserAbortedOperation, ESFDSException);
// The writer was asked for a compression format no compressor is registered for.
RTL_DECLARE_EXCEPTION(ESFDSUnknownWriteFormat, ESFDSException);

// ---- Messages --------------------------------------------------------------
// %s in the parser's messages is the source name.

inline constexpr const char* SFDS_ERR_NotSFDSFile = "This file is not a SFDS file:\r\n\"%s\"";
inline constexpr const char* SFDS_ERR_UnsupportedFormat = "The format of this SFDS file is not supported:\r\n\"%s\"";
inline constexpr const char* SFDS_ERR_Incomplete = "This SFDS file is incomplete:\r\n\"%s\"";
inline constexpr const char* SFDS_ERR_FileListMD5 =
    "The entry table of this SFDS file is corrupted (MD5 Error):\r\n\"%s\"";
inline constexpr const char* SFDS_ERR_FileListInvalid = "The entry table of this SFDS file is invalid:\r\n\"%s\"";
// %s: the format ID in capital hexadecimal, at least three digits (SFDS_FormatIDText).
inline constexpr const char* SFDS_ERR_UnknownCompression = "Read error: Unknown compression format (ID : %s)";
inline constexpr const char* SFDS_ERR_StreamNotFound = "Requested stream can't be opened because it does not exist.";
inline constexpr const char* SFDS_ERR_MD5Extract = "MD5 Error in SFDS file:\r\n\"%s\",\r\nin stream \r\n\"%s\".";
inline constexpr const char* SFDS_ERR_UserAborted = "Operation aborted by user.";
// Extraction without a destination; %s: the disk file name given.
inline constexpr const char* SFDS_ERR_NoDestination = "Cannot open file %s";
// Extraction below a folder refuses stored names that would leave it; %s: the stored name.
inline constexpr const char* SFDS_ERR_UnsafeFileName =
    "Stored file name leads outside the destination folder and is not extracted:\r\n\"%s\"";
// A folder on the way to a stored file is a link; %s: the stored name.
inline constexpr const char* SFDS_ERR_LinkInFileName =
    "Stored file name leads through a link and is not extracted:\r\n\"%s\"";
// %s: the stored name, each NUL shown as \0.
inline constexpr const char* SFDS_ERR_NulInFileName =
    "Stored file name holds a NUL character and is not extracted:\r\n\"%s\"";
// Why extraction creates no file over what has the disk file's name: the
// reason of "Cannot create file \"%s\". %s".
inline constexpr const char* SFDS_ERR_NotAFile = "It is a pipe, device or socket, not a file";
inline constexpr const char* SFDS_ERR_ArchiveItself = "It is the archive being read";
inline constexpr const char* SFDS_ERR_WriteReadOnly = "Invalid stream operation. Cannot write to a read-only stream.";
inline constexpr const char* SFDS_ERR_ReadReader =
    "TSFDSCustomReader.Read error: Can't read directly from this stream. Instead use the OpenStream method to get "
    "the data.";
inline constexpr const char* SFDS_ERR_FixedSize = "Stream.SetSize Error: This stream is fixed in size.";
inline constexpr const char* SFDS_ERR_NilSource = "Error: SourceStream is NIL.";
inline constexpr const char* SFDS_UnnamedSource = "<STREAM PARSER - UNNAMED SOURCE>";
// The name an entry is found under when its stored name is empty or starts
// with a space.
inline constexpr const char* SFDS_UnnamedFileName = "Unnamed File";

// The writer's messages. %s: the format ID as in SFDS_ERR_UnknownCompression.
inline constexpr const char* SFDS_ERR_WriteUnknownCompression = "Write error: Unknown compression format (ID : %s)";
inline constexpr const char* SFDS_ERR_WriterFinished = "This SFDS container has already been finished.";
inline constexpr const char* SFDS_ERR_WriterBroken = "A write to this SFDS container failed; it cannot be finished.";
// %s: the container start in decimal.
inline constexpr const char* SFDS_ERR_LocatorNoHost =
    "A locator record needs host bytes in front of the SFDS container (container start: %s).";

// "003" for 3, "0FF" for 255.
std::string SFDS_FormatIDText(std::uint8_t ID);
