#include "tools/ToolArchive.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <nlohmann/json.hpp>

#include "runtime/Checked.h"
#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_parser.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

// What a read running out while the container at Start was opened says about
// the file: where it ends, against where its header (as far as it was read)
// puts its end. Empty when the file is long enough, so that the failure lies
// elsewhere.
std::string WhereItEnds(const std::string& ArchiveName, std::int64_t Start) {
    std::unique_ptr<TStream> File = SFDS_OpenArchiveFile(ArchiveName);
    const std::int64_t Size = File->Size();
    if (Size < SaturatedAdd(Start, SFDS_HeaderSize))
        return Format(ToolArchiveEndsInHeader, static_cast<long long>(Size), SFDS_HeaderSize);
    File->Seek(Start, soBeginning);
    TSFDSCustomStreamParser Parser(File.get(), Start, false, nullptr);
    try {
        Parser.Parse(nullptr, nullptr, false, sarmNone);
    } catch (const Exception&) {
        // Expected: the values read before the failure are what counts.
    }
    const std::int64_t TableEnd = SaturatedAdd(Start, Parser.FileListPositionEnd());
    if (Size < TableEnd)
        return Format(ToolArchiveEndsInTable, static_cast<long long>(Size), static_cast<long long>(TableEnd));
    return std::string();
}

std::string CutShort(const std::string& ArchiveName, std::int64_t Start) {
    try {
        return WhereItEnds(ArchiveName, Start);
    } catch (const Exception&) {
        return std::string();  // the first failure is the one to report
    }
}

}  // namespace

std::unique_ptr<TSFDSFileReader> ToolOpenArchive(const std::string& ArchiveName, bool AssignUniqueNames,
                                                 TStreamAutorenameMode Rename) {
    std::int64_t Start = -1;
    if (!SFDS_IsSFDSFile(ArchiveName, Start)) Start = 0;
    try {
        return std::make_unique<TSFDSFileReader>(ArchiveName, Start, nullptr, nullptr, TSFDSOnReadFileEntry{},
                                                 AssignUniqueNames, Rename);
    } catch (const EReadError& E) {
        // A read that came back empty, or a table whose digest is wrong as
        // it lacks its end: most often the file is cut short, which these
        // messages would not say.
        const std::string Where = CutShort(ArchiveName, Start);
        if (Where.empty()) throw;
        throw EReadError(E.Message() + Where);
    } catch (const ESFDSException& E) {
        const std::string Where = CutShort(ArchiveName, Start);
        if (Where.empty()) throw;
        throw ESFDSException(E.Message() + Where);
    }
}

namespace {

nlohmann::ordered_json ExtraValue(const TSFDSFileExtraInfoField& F) {
    switch (F.FieldType) {
        case EIStr: return ToolToUtf8(std::string(F.ValueString != nullptr ? F.ValueString : "",
                                                  static_cast<std::size_t>(F.ValueStringSize)));
        case EINumber: return F.ValueNumber;
        case EIDate: return F.ValueDate;
        case EIBoolean: return F.ValueBoolean;
        default:
            return ToolHex(F.ValueBinary, F.ValueBinary != nullptr ? static_cast<std::size_t>(F.ValueBinarySize) : 0);
    }
}

// A TDateTime as a calendar time (no zone: the container does not say which);
// empty when the value is no plausible date.
std::string DateText(TDateTime Value) {
    if (!std::isfinite(Value) || Value < -657434 || Value > 2958466) return std::string();
    using namespace std::chrono;
    const sys_seconds Time{seconds{std::llround((Value - 25569.0) * 86400.0)}};
    const sys_days Day = floor<days>(Time);
    const year_month_day Date{Day};
    const hh_mm_ss<seconds> Clock{Time - Day};
    return Format("%d-%02u-%02u %02d:%02d:%02d", static_cast<int>(Date.year()), static_cast<unsigned>(Date.month()),
                  static_cast<unsigned>(Date.day()), static_cast<int>(Clock.hours().count()),
                  static_cast<int>(Clock.minutes().count()), static_cast<int>(Clock.seconds().count()));
}

const char* ExtraTypeName(TSFDSFileExtraInfo Type) {
    switch (Type) {
        case EIStr: return "string";
        case EINumber: return "number";
        case EIDate: return "date";
        case EIBoolean: return "boolean";
        default: return "binary";
    }
}

using TJson = nlohmann::ordered_json;

// Names that are no valid text in the code page must not stop the listing.
std::string Dumped(const TJson& Value) { return Value.dump(2, ' ', false, TJson::error_handler_t::replace); }

TJson EntryJson(const SFDS_FileEntryRecord& E) {
    return TJson{{"name", ToolToUtf8(E.FileName)},
                 {"original_name", ToolToUtf8(E.OriginalFileName)},
                 {"size", E.FileSize},
                 {"packed", SaturatedSub(E.EndPosition, E.StartPosition)},
                 {"start", E.StartPosition},
                 {"end", E.EndPosition},
                 {"format", E.CompressionFormat},
                 {"level", E.CompressionLevel},
                 {"attributes", E.FileAttributes},
                 {"md5", ToolMD5Hex(E.MD5Digest)},
                 {"extra_str", ToolToUtf8(E.ExtraDataStr)},
                 {"extra_int", E.ExtraDataInt}};
}

// Writes exactly what dumping the whole document with an indent of 2 would,
// but one entry at a time: the memory it takes is that of one entry, however
// many the table holds.
void WriteListJson(TSFDSFileReader& R) {
    TJson Extra = TJson::array();
    for (std::int32_t I = 0; I < R.ExtraInfoCount(); ++I) {
        const TSFDSFileExtraInfoField& F = *R.ExtraInfoFields().Items(I);
        Extra.push_back({{"name", ToolToUtf8(F.Name)}, {"type", static_cast<int>(F.FieldType)}, {"value", ExtraValue(F)}});
    }
    const TJson Head{{"start_offset", R.RelativeOffset()},
                     {"file_count", R.FileCount()},
                     {"all_files_size", R.AllFilesSize()},
                     {"title", ToolToUtf8(R.Title())},
                     {"subject", ToolToUtf8(R.Subject())},
                     {"author", ToolToUtf8(R.Author())},
                     {"version", R.Version()},
                     {"maker", ToolToUtf8(R.Maker())},
                     {"maker_version", R.MakerVersion()},
                     {"keywords", ToolToUtf8(R.KeyWords())},
                     {"comments", ToolToUtf8(R.Comments())},
                     {"time_create", R.TimeCreate()},
                     {"extra", Extra},
                     {"entries", TJson::array()}};
    std::string Text = Dumped(Head);
    if (R.FileCount() == 0) {
        std::printf("%s\n", Text.c_str());
        return;
    }
    // The document ends with the empty array: `"entries": []` and the brace.
    static constexpr std::string_view EmptyEnd = "[]\n}";
    Text.resize(Text.size() - EmptyEnd.size());
    Text += '[';
    std::fwrite(Text.data(), 1, Text.size(), stdout);
    // Each entry sits two levels deep: its lines move right by 4.
    std::string Out;
    for (std::int32_t I = 0; I < R.FileCount(); ++I) {
        Out = I == 0 ? "\n    " : ",\n    ";
        for (const char C : Dumped(EntryJson(*R.FileEntrys().Items(I)))) {
            Out += C;
            if (C == '\n') Out += "    ";
        }
        std::fwrite(Out.data(), 1, Out.size(), stdout);
    }
    std::printf("\n  ]\n}\n");
}

}  // namespace

int ToolList(const TToolListOptions& Options) {
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ToolToAnsi(Options.Archive), Options.Unique, Options.Rename);
    if (Options.Json) {
        WriteListJson(*R);
        return 0;
    }
    for (std::int32_t I = 0; I < R->FileCount(); ++I) {
        const SFDS_FileEntryRecord& E = *R->FileEntrys().Items(I);
        std::printf("%s\t%lld\t%lld\t%s\t%s\n", ToolShownName(E.FileName).c_str(), static_cast<long long>(E.FileSize),
                    static_cast<long long>(SaturatedSub(E.EndPosition, E.StartPosition)),
                    ToolFormatName(E.CompressionFormat).c_str(), ToolMD5Hex(E.MD5Digest).c_str());
    }
    return 0;
}

int ToolInfo(const std::string& Archive) {
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ToolToAnsi(Archive));
    auto Line = [](const char* Label, const std::string& Value) { std::printf("%-18s%s\n", Label, Value.c_str()); };
    Line("Archive:", ToolShown(Archive));
    Line("Container start:", std::to_string(R->RelativeOffset()));
    Line("Files:", Format("%d (header: %d)", R->FileCount(), R->FileNumber()));
    Line("Total size:", std::to_string(R->AllFilesSize()));
    const std::string Date = DateText(R->TimeCreate());
    Line("Created:", Format("%.17g", R->TimeCreate()) + (Date.empty() ? "" : " (" + Date + ")"));
    Line("Entry table:", Format("%lld..%lld, %s, MD5 %s", static_cast<long long>(R->FileListPositionStart()),
                                static_cast<long long>(R->FileListPositionEnd()),
                                ToolFormatName(R->InternalCompressionFormat()).c_str(),
                                ToolMD5Hex(R->InternalFileListDataMD5()).c_str()));
    Line("Info block:", std::to_string(R->FileInfoExPosition()));
    Line("Title:", ToolShownName(R->Title()));
    Line("Subject:", ToolShownName(R->Subject()));
    Line("Author:", ToolShownName(R->Author()));
    Line("Version:", std::to_string(R->Version()));
    Line("Maker:", ToolShownName(R->Maker()));
    Line("Maker version:", std::to_string(R->MakerVersion()));
    Line("Keywords:", ToolShownName(R->KeyWords()));
    Line("Comments:", ToolShownName(R->Comments()));
    Line("Extra fields:", std::to_string(R->ExtraInfoCount()));
    for (std::int32_t I = 0; I < R->ExtraInfoCount(); ++I) {
        const TSFDSFileExtraInfoField& F = *R->ExtraInfoFields().Items(I);
        const nlohmann::ordered_json V = ExtraValue(F);
        std::string Value = ToolShown(V.is_string() ? V.get<std::string>() : V.dump());
        if (F.FieldType == EIDate && !DateText(F.ValueDate).empty()) Value += " (" + DateText(F.ValueDate) + ")";
        std::printf("  %s [%s]: %s\n", ToolShownName(F.Name).c_str(), ExtraTypeName(F.FieldType), Value.c_str());
    }
    return 0;
}
