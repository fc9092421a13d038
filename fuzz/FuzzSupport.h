// What the fuzz targets share: a private temporary folder per process, whole
// files, locator records, a reader over bytes in memory, and reading
// every entry of a reader within a byte budget.
//
// Errors of the system's own exception tree are the expected outcome of bad
// input; the targets catch those and nothing else, so that any other
// exception, a crash or a sanitizer report is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/MemoryStream.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_reader.h"

namespace fuzz {

// A few kilobytes of input may legitimately decompress to gigabytes, which
// proves nothing but costs time: what one input may make a target read.
inline constexpr std::int64_t ReadBudget = std::int64_t{16} << 20;

// A folder of this process's own, made on first use and removed at exit;
// the path ends without a separator.
const std::string& TempFolder();

// Replaces FileName by Bytes; aborts when that fails (the target cannot go on).
void WriteFile(const std::string& FileName, std::string_view Bytes);
std::string ReadFile(const std::string& FileName);
// Removes Path with everything below it, following no links.
void RemoveTree(const std::string& Path);

// A 12-byte locator record pointing to an absolute offset.
std::string Locator(std::int64_t Offset);
// Encodes Header over the first SFDS_HeaderSize bytes of Bytes, which holds
// at least that many.
void PutHeader(std::string& Bytes, const SFDS_Header& Header);

// A reader over bytes it keeps itself, registered under Name (empty: an
// unnamed reader, the one a bare archive path looks at first).
class TMemoryReader : public TSFDSCustomReader {
public:
    TMemoryReader(std::string_view Bytes, std::int64_t StartOffset, const std::string& Name,
                  bool AssignUniqueNames = false, TStreamAutorenameMode Rename = sarmNone);
    std::unique_ptr<TStream> Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) override;

private:
    TMemoryStream* FBytes;  // owned by the reader as its source
};

// Reads S to its end or until the budget is spent.
void Drain(TStream& S, std::int64_t& Budget);

// Opens every entry of R decompressed and raw and reads it within Budget;
// errors of single entries are caught, so that every entry is tried.
void ReadEveryEntry(TSFDSCustomReader& R, std::int64_t& Budget);

// Whether the sizes the entries state add up to no more than Budget: only
// then may a target hand the archive to a walk that has no budget of its own.
bool StatedSizesWithin(const TSFDSCustomReader& R, std::int64_t Budget);

// Splits an input into parts: each part is a 2-byte little-endian length and
// that many bytes (cut at the end of the input); what remains after the last
// complete length is the final part.
class TPartReader {
public:
    TPartReader(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}
    bool AtEnd() const { return FPos >= FSize; }
    std::string_view Next();
    std::string_view Rest();
    std::uint8_t Byte();

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};
// The inverse, for seeds.
void AppendPart(std::string& Input, std::string_view Part);

}  // namespace fuzz
