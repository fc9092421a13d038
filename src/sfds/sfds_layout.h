// The container's records in their stored form: the fixed header at the
// container start, the locator record that finds a container inside a host
// file, and the entry records of the decoded entry table. Each record has one
// encoder and one decoder, here; the parser, the writer and container
// detection go through them and nothing else reads or writes those bytes.
//
// Decoding judges no value: a record decodes to what its bytes say, and
// encoding what was decoded gives the same bytes back. What a wrong
// signature, magic or flag means is the reader's business, and a test damages
// a container by editing a decoded record and encoding it again. The two
// fixed-size records work on byte spans and refuse spans too short for them;
// the entry record is made of tagged values (sfds_streamingutils.h) and is
// read from and written to a stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

class TSFDSFileExtraInfoList;

namespace SFDS_LayoutDetail {

// A signature constant's characters without the terminating NUL.
template <std::size_t N>
constexpr std::array<char, N - 1> SignatureBytes(const char (&Text)[N]) {
    std::array<char, N - 1> Bytes{};
    for (std::size_t I = 0; I + 1 < N; ++I) Bytes[I] = Text[I];
    return Bytes;
}

}  // namespace SFDS_LayoutDetail

// ---- Fixed header ------------------------------------------------------------

// The header's fields in stored order.
struct SFDS_Header {
    // Readers ignore its ASCII letter case.
    std::array<char, 5> Signature = SFDS_LayoutDetail::SignatureBytes(SFDS_HeaderSignature);
    std::uint32_t Magic = SFDS_Magic;
    TGUID FormatGUID;
    std::uint8_t CompletionFlag = 0;  // 0: the container was never finished
    std::int32_t FileNumber = 0;
    std::uint32_t Reserved = 0;
    // Relative to the container start.
    std::int64_t FileListPositionStart = 0;
    std::int64_t FileListPositionEnd = 0;
    std::uint8_t InternalCompressionFormat = 0;
    TMD5Digest InternalFileListDataMD5;
    TDateTime TimeCreate = 0;
    std::int64_t FileInfoExPosition = 0;  // relative to the container start
};

// The header up to and including the completion flag: all it takes to tell
// whether a finished container starts somewhere.
inline constexpr std::int32_t SFDS_HeaderLeadSize = SFDS_HeaderField::FileNumber;

void SFDS_EncodeHeader(const SFDS_Header& Header, std::span<std::uint8_t, SFDS_HeaderSize> Bytes);
// False, with Header unchanged, when Bytes is shorter than SFDS_HeaderSize;
// bytes beyond the header are not looked at.
bool SFDS_DecodeHeader(std::span<const std::uint8_t> Bytes, SFDS_Header& Header);
// Only the lead's fields (signature, magic, format GUID, completion flag);
// the others keep their values. False, Header unchanged, when Bytes is
// shorter than SFDS_HeaderLeadSize.
bool SFDS_DecodeHeaderLead(std::span<const std::uint8_t> Bytes, SFDS_Header& Header);

// ".SFDS" in any ASCII letter case.
bool SFDS_HasHeaderSignature(const SFDS_Header& Header);
// Signature, magic and a completion flag other than 0.
bool SFDS_IsFinishedContainerStart(const SFDS_Header& Header);

// ---- Locator record ----------------------------------------------------------

struct SFDS_Locator {
    std::uint32_t Magic = SFDS_Magic;
    std::int64_t ContainerOffset = 0;  // absolute, in the host
};

void SFDS_EncodeLocator(const SFDS_Locator& Locator, std::span<std::uint8_t, SFDS_LocatorSize> Bytes);
// False, with Locator unchanged, when Bytes is shorter than SFDS_LocatorSize.
bool SFDS_DecodeLocator(std::span<const std::uint8_t> Bytes, SFDS_Locator& Locator);

// ---- Extended info block ------------------------------------------------------
//
// Title, Subject, Author, Version, Maker, MakerVersion, KeyWords and Comments
// as tagged values, then the extra-field list in its stream form.

void SFDS_WriteInfoBlock(TStream& Stream, const SFDS_ContainerInfo& Info, const TSFDSFileExtraInfoList& ExtraFields);
// Reads the eight values into Info, the other fields of which stay as they
// are; then, when ExtraFields is given, empties it and reads the list into it
// (without it, the list is not read).
void SFDS_ReadInfoBlock(TStream& Stream, SFDS_ContainerInfo& Info, TSFDSFileExtraInfoList* ExtraFields);

// ---- Entry record ------------------------------------------------------------
//
// The signature, then OriginalFileName, FileSize, FileAttributes,
// StartPosition, EndPosition, CompressionFormat and CompressionLevel as
// tagged values, the raw MD5Digest, then ExtraDataStr and ExtraDataInt as
// tagged values. FileName is not stored: a reader derives it.

using TSFDSEntrySignature = std::array<char, 4>;
inline constexpr TSFDSEntrySignature SFDS_EntrySignatureBytes = SFDS_LayoutDetail::SignatureBytes(SFDS_EntrySignature);

// The smallest record: signature, an empty short string, six one-byte
// integers, the digest, another empty string and one more integer.
inline constexpr std::int64_t SFDS_MinimumEntryRecordSize = 4 + 2 + 6 * 2 + 16 + 2 + 2;

void SFDS_WriteEntryRecord(TStream& Table, const SFDS_FileEntryRecord& Entry,
                           const TSFDSEntrySignature& Signature = SFDS_EntrySignatureBytes);

// Reading comes in two steps, so that a reader refuses a record by its
// signature before it trusts anything behind it, and can look the name up
// while the rest arrives. The head is the signature and, when that is "SFDS"
// in any ASCII letter case, the stored name (into OriginalFileName; FileName
// is left alone); false, with nothing behind the signature read, otherwise.
bool SFDS_ReadEntryHead(TStream& Table, TSFDSEntrySignature& Signature, SFDS_FileEntryRecord& Entry);
// The fields behind the name. CompressionFormat and CompressionLevel keep the
// low 8 bits of what is stored.
void SFDS_ReadEntryBody(TStream& Table, SFDS_FileEntryRecord& Entry);
// Both steps.
bool SFDS_ReadEntryRecord(TStream& Table, TSFDSEntrySignature& Signature, SFDS_FileEntryRecord& Entry);
