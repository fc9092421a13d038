#include "sfds/sfds_layout.h"

#include <cstring>
#include <string_view>

#include "runtime/AsciiCase.h"
#include "runtime/LittleEndian.h"
#include "sfds/sfds_extrainfo.h"
#include "sfds/sfds_streamingutils.h"

namespace {

namespace Field = SFDS_HeaderField;

// The header's fields lie back to back, in the order of the record.
static_assert(Field::Magic == Field::Signature + 5);
static_assert(Field::FormatGUID == Field::Magic + 4);
static_assert(Field::Complete == Field::FormatGUID + 16);
static_assert(Field::FileNumber == Field::Complete + 1);
static_assert(Field::Reserved == Field::FileNumber + 4);
static_assert(Field::FileListPositionStart == Field::Reserved + 4);
static_assert(Field::FileListPositionEnd == Field::FileListPositionStart + 8);
static_assert(Field::InternalCompressionFormat == Field::FileListPositionEnd + 8);
static_assert(Field::InternalFileListDataMD5 == Field::InternalCompressionFormat + 1);
static_assert(Field::TimeCreate == Field::InternalFileListDataMD5 + 16);
static_assert(Field::FileInfoExPosition == Field::TimeCreate + 8);
static_assert(SFDS_HeaderSize == Field::FileInfoExPosition + 8);

// A 32-bit and two 16-bit fields, little-endian, then 8 bytes as they are.
void EncodeGUID(const TGUID& G, std::uint8_t* P) {
    StoreLE(P, G.D1);
    StoreLE(P + 4, G.D2);
    StoreLE(P + 6, G.D3);
    std::memcpy(P + 8, G.D4, sizeof G.D4);
}

TGUID DecodeGUID(const std::uint8_t* P) {
    TGUID G;
    G.D1 = LoadLE<std::uint32_t>(P);
    G.D2 = LoadLE<std::uint16_t>(P + 4);
    G.D3 = LoadLE<std::uint16_t>(P + 6);
    std::memcpy(G.D4, P + 8, sizeof G.D4);
    return G;
}

}  // namespace

void SFDS_EncodeHeader(const SFDS_Header& H, std::span<std::uint8_t, SFDS_HeaderSize> Bytes) {
    std::uint8_t* const P = Bytes.data();
    std::memcpy(P + Field::Signature, H.Signature.data(), H.Signature.size());
    StoreLE(P + Field::Magic, H.Magic);
    EncodeGUID(H.FormatGUID, P + Field::FormatGUID);
    P[Field::Complete] = H.CompletionFlag;
    StoreLE(P + Field::FileNumber, H.FileNumber);
    StoreLE(P + Field::Reserved, H.Reserved);
    StoreLE(P + Field::FileListPositionStart, H.FileListPositionStart);
    StoreLE(P + Field::FileListPositionEnd, H.FileListPositionEnd);
    P[Field::InternalCompressionFormat] = H.InternalCompressionFormat;
    std::memcpy(P + Field::InternalFileListDataMD5, H.InternalFileListDataMD5.v, sizeof H.InternalFileListDataMD5.v);
    StoreDoubleLE(P + Field::TimeCreate, H.TimeCreate);
    StoreLE(P + Field::FileInfoExPosition, H.FileInfoExPosition);
}

bool SFDS_DecodeHeaderLead(std::span<const std::uint8_t> Bytes, SFDS_Header& H) {
    if (Bytes.size() < static_cast<std::size_t>(SFDS_HeaderLeadSize)) return false;
    const std::uint8_t* const P = Bytes.data();
    std::memcpy(H.Signature.data(), P + Field::Signature, H.Signature.size());
    H.Magic = LoadLE<std::uint32_t>(P + Field::Magic);
    H.FormatGUID = DecodeGUID(P + Field::FormatGUID);
    H.CompletionFlag = P[Field::Complete];
    return true;
}

bool SFDS_DecodeHeader(std::span<const std::uint8_t> Bytes, SFDS_Header& H) {
    if (Bytes.size() < static_cast<std::size_t>(SFDS_HeaderSize)) return false;
    const std::uint8_t* const P = Bytes.data();
    SFDS_DecodeHeaderLead(Bytes, H);
    H.FileNumber = LoadLE<std::int32_t>(P + Field::FileNumber);
    H.Reserved = LoadLE<std::uint32_t>(P + Field::Reserved);
    H.FileListPositionStart = LoadLE<std::int64_t>(P + Field::FileListPositionStart);
    H.FileListPositionEnd = LoadLE<std::int64_t>(P + Field::FileListPositionEnd);
    H.InternalCompressionFormat = P[Field::InternalCompressionFormat];
    std::memcpy(H.InternalFileListDataMD5.v, P + Field::InternalFileListDataMD5, sizeof H.InternalFileListDataMD5.v);
    H.TimeCreate = LoadDoubleLE(P + Field::TimeCreate);
    H.FileInfoExPosition = LoadLE<std::int64_t>(P + Field::FileInfoExPosition);
    return true;
}

bool SFDS_HasHeaderSignature(const SFDS_Header& H) {
    return SameTextAscii(std::string_view(H.Signature.data(), H.Signature.size()), SFDS_HeaderSignature);
}

bool SFDS_IsFinishedContainerStart(const SFDS_Header& H) {
    return SFDS_HasHeaderSignature(H) && H.Magic == SFDS_Magic && H.CompletionFlag != 0;
}

void SFDS_EncodeLocator(const SFDS_Locator& L, std::span<std::uint8_t, SFDS_LocatorSize> Bytes) {
    StoreLE(Bytes.data(), L.Magic);
    StoreLE(Bytes.data() + 4, L.ContainerOffset);
}

bool SFDS_DecodeLocator(std::span<const std::uint8_t> Bytes, SFDS_Locator& L) {
    if (Bytes.size() < static_cast<std::size_t>(SFDS_LocatorSize)) return false;
    L.Magic = LoadLE<std::uint32_t>(Bytes.data());
    L.ContainerOffset = LoadLE<std::int64_t>(Bytes.data() + 4);
    return true;
}

void SFDS_WriteInfoBlock(TStream& Stream, const SFDS_ContainerInfo& Info, const TSFDSFileExtraInfoList& ExtraFields) {
    SFDS_WriteString(Stream, Info.Title);
    SFDS_WriteString(Stream, Info.Subject);
    SFDS_WriteString(Stream, Info.Author);
    SFDS_WriteInteger(Stream, Info.Version);
    SFDS_WriteString(Stream, Info.Maker);
    SFDS_WriteInteger(Stream, Info.MakerVersion);
    SFDS_WriteString(Stream, Info.KeyWords);
    SFDS_WriteString(Stream, Info.Comments);
    ExtraFields.SaveToStream(Stream);
}

void SFDS_ReadInfoBlock(TStream& Stream, SFDS_ContainerInfo& Info, TSFDSFileExtraInfoList* ExtraFields) {
    Info.Title = SFDS_ReadString(Stream);
    Info.Subject = SFDS_ReadString(Stream);
    Info.Author = SFDS_ReadString(Stream);
    Info.Version = SFDS_ReadInteger(Stream);
    Info.Maker = SFDS_ReadString(Stream);
    Info.MakerVersion = SFDS_ReadInteger(Stream);
    Info.KeyWords = SFDS_ReadString(Stream);
    Info.Comments = SFDS_ReadString(Stream);
    if (ExtraFields != nullptr) ExtraFields->LoadFromStream(Stream);
}

void SFDS_WriteEntryRecord(TStream& Table, const SFDS_FileEntryRecord& E, const TSFDSEntrySignature& Signature) {
    Table.WriteBuffer(Signature.data(), static_cast<std::int32_t>(Signature.size()));
    SFDS_WriteString(Table, E.OriginalFileName.View());
    SFDS_WriteInt64(Table, E.FileSize);
    SFDS_WriteInteger(Table, E.FileAttributes);
    SFDS_WriteInt64(Table, E.StartPosition);
    SFDS_WriteInt64(Table, E.EndPosition);
    SFDS_WriteInteger(Table, E.CompressionFormat);
    SFDS_WriteInteger(Table, E.CompressionLevel);
    Table.WriteBuffer(E.MD5Digest.v, sizeof E.MD5Digest.v);
    SFDS_WriteString(Table, E.ExtraDataStr.View());
    SFDS_WriteInteger(Table, E.ExtraDataInt);
}

bool SFDS_ReadEntryHead(TStream& Table, TSFDSEntrySignature& Signature, SFDS_FileEntryRecord& E) {
    Table.ReadBuffer(Signature.data(), static_cast<std::int32_t>(Signature.size()));
    if (!SameTextAscii(std::string_view(Signature.data(), Signature.size()), SFDS_EntrySignature)) return false;
    E.OriginalFileName = SFDS_ReadString(Table);
    return true;
}

void SFDS_ReadEntryBody(TStream& Table, SFDS_FileEntryRecord& E) {
    E.FileSize = SFDS_ReadInt64(Table);
    E.FileAttributes = SFDS_ReadInteger(Table);
    E.StartPosition = SFDS_ReadInt64(Table);
    E.EndPosition = SFDS_ReadInt64(Table);
    E.CompressionFormat = static_cast<std::uint8_t>(SFDS_ReadInteger(Table) & 0xFF);
    E.CompressionLevel = static_cast<std::uint8_t>(SFDS_ReadInteger(Table) & 0xFF);
    Table.ReadBuffer(E.MD5Digest.v, sizeof E.MD5Digest.v);
    E.ExtraDataStr = SFDS_ReadString(Table);
    E.ExtraDataInt = SFDS_ReadInteger(Table);
}

bool SFDS_ReadEntryRecord(TStream& Table, TSFDSEntrySignature& Signature, SFDS_FileEntryRecord& E) {
    if (!SFDS_ReadEntryHead(Table, Signature, E)) return false;
    SFDS_ReadEntryBody(Table, E);
    return true;
}
