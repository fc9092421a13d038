// A container writer for tests and seed corpora that writes chosen raw values
// instead of the true ones, to build damaged containers.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "sfds/sfds_consts.h"
#include "sfds/sfds_writer.h"

// Raw values Finish writes instead of the true ones; unset fields are written
// true.
struct TSFDSWriterOverrides {
    std::optional<std::string> HeaderSignature;  // the first 5 bytes; padded with zeros or cut to 5
    std::optional<std::uint32_t> Magic;
    std::optional<std::uint8_t> CompletionFlag;
    std::optional<std::int32_t> FileNumber;
    // The header byte only: the table is still encoded with the writer's table format.
    std::optional<std::uint8_t> InternalCompressionFormat;
    std::optional<TMD5Digest> InternalFileListDataMD5;
    std::optional<std::string> EntrySignature;  // the first 4 bytes of every record; padded or cut to 4
    std::optional<std::int64_t> FileListPositionStart;
    std::optional<std::int64_t> FileListPositionEnd;
    std::optional<std::int64_t> FileInfoExPosition;
    // Bytes after the last record inside the decoded table.
    std::string FileListTrailer;
};

class TSFDSTestWriter : public TSFDSFileWriter {
public:
    using TSFDSFileWriter::TSFDSFileWriter;

    TSFDSWriterOverrides& Overrides() { return FOverrides; }

protected:
    void AdjustHeader(std::string& H) const override {
        const TSFDSWriterOverrides& O = FOverrides;
        if (O.HeaderSignature) PutFixed(H, SFDS_HeaderField::Signature, *O.HeaderSignature, 5);
        if (O.Magic) PutLE(H, SFDS_HeaderField::Magic, *O.Magic, 4);
        if (O.FileNumber) PutLE(H, SFDS_HeaderField::FileNumber, static_cast<std::uint32_t>(*O.FileNumber), 4);
        if (O.FileListPositionStart)
            PutLE(H, SFDS_HeaderField::FileListPositionStart, static_cast<std::uint64_t>(*O.FileListPositionStart), 8);
        if (O.FileListPositionEnd)
            PutLE(H, SFDS_HeaderField::FileListPositionEnd, static_cast<std::uint64_t>(*O.FileListPositionEnd), 8);
        if (O.InternalCompressionFormat)
            H[SFDS_HeaderField::InternalCompressionFormat] = static_cast<char>(*O.InternalCompressionFormat);
        if (O.InternalFileListDataMD5)
            std::memcpy(H.data() + SFDS_HeaderField::InternalFileListDataMD5, O.InternalFileListDataMD5->v, 16);
        if (O.FileInfoExPosition)
            PutLE(H, SFDS_HeaderField::FileInfoExPosition, static_cast<std::uint64_t>(*O.FileInfoExPosition), 8);
    }
    void AdjustEntrySignature(char (&Signature)[4]) const override {
        if (!FOverrides.EntrySignature) return;
        const std::string& S = *FOverrides.EntrySignature;
        for (std::size_t I = 0; I < 4; ++I) Signature[I] = I < S.size() ? S[I] : '\0';
    }
    void AdjustFileListEnd(std::string& Trailer) const override { Trailer = FOverrides.FileListTrailer; }
    void AdjustCompletionFlag(std::uint8_t& Flag) const override {
        if (FOverrides.CompletionFlag) Flag = *FOverrides.CompletionFlag;
    }

private:
    static void PutLE(std::string& Out, std::size_t At, std::uint64_t Value, int Bytes) {
        for (int I = 0; I < Bytes; ++I)
            Out[At + static_cast<std::size_t>(I)] = static_cast<char>((Value >> (8 * I)) & 0xFF);
    }
    // Value's bytes at At, cut or padded with zeros to Size.
    static void PutFixed(std::string& Out, std::size_t At, const std::string& Value, std::size_t Size) {
        for (std::size_t I = 0; I < Size; ++I) Out[At + I] = I < Value.size() ? Value[I] : '\0';
    }

    TSFDSWriterOverrides FOverrides;
};
