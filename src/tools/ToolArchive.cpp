#include "tools/ToolArchive.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "runtime/Format.h"
#include "sfds/sfds_archivepaths.h"
#include "tools/ToolText.h"

std::unique_ptr<TSFDSFileReader> ToolOpenArchive(const std::string& ArchiveName, bool AssignUniqueNames,
                                                 TStreamAutorenameMode Rename) {
    std::int64_t Start = -1;
    if (!SFDS_IsSFDSFile(ArchiveName, Start)) Start = 0;
    return std::make_unique<TSFDSFileReader>(ArchiveName, Start, nullptr, nullptr, TSFDSOnReadFileEntry{},
                                             AssignUniqueNames, Rename);
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
    const auto Seconds = static_cast<std::time_t>(std::llround((Value - 25569.0) * 86400.0));
    std::tm T{};
    if (::gmtime_r(&Seconds, &T) == nullptr) return std::string();
    char Buf[64];
    std::strftime(Buf, sizeof Buf, "%Y-%m-%d %H:%M:%S", &T);
    return Buf;
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

nlohmann::ordered_json ListJson(TSFDSFileReader& R) {
    using json = nlohmann::ordered_json;
    json Extra = json::array();
    for (std::int32_t I = 0; I < R.ExtraInfoCount(); ++I) {
        const TSFDSFileExtraInfoField& F = *R.ExtraInfoFields().Items(I);
        Extra.push_back({{"name", ToolToUtf8(F.Name)}, {"type", static_cast<int>(F.FieldType)}, {"value", ExtraValue(F)}});
    }
    json Entries = json::array();
    for (std::int32_t I = 0; I < R.FileCount(); ++I) {
        const SFDS_FileEntryRecord& E = *R.FileEntrys().Items(I);
        Entries.push_back({{"name", ToolToUtf8(E.FileName)},
                           {"original_name", ToolToUtf8(E.OriginalFileName)},
                           {"size", E.FileSize},
                           {"packed", E.EndPosition - E.StartPosition},
                           {"start", E.StartPosition},
                           {"end", E.EndPosition},
                           {"format", E.CompressionFormat},
                           {"level", E.CompressionLevel},
                           {"attributes", E.FileAttributes},
                           {"md5", ToolMD5Hex(E.MD5Digest)},
                           {"extra_str", ToolToUtf8(E.ExtraDataStr)},
                           {"extra_int", E.ExtraDataInt}});
    }
    return json{{"start_offset", R.RelativeOffset()},
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
                {"entries", Entries}};
}

}  // namespace

int ToolList(const TToolListOptions& Options) {
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ToolToAnsi(Options.Archive), Options.Unique, Options.Rename);
    if (Options.Json) {
        // Names that are no valid text in the code page must not stop the listing.
        const std::string Text = ListJson(*R).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        std::printf("%s\n", Text.c_str());
        return 0;
    }
    for (std::int32_t I = 0; I < R->FileCount(); ++I) {
        const SFDS_FileEntryRecord& E = *R->FileEntrys().Items(I);
        std::printf("%s\t%lld\t%lld\t%s\t%s\n", ToolToUtf8(E.FileName).c_str(), static_cast<long long>(E.FileSize),
                    static_cast<long long>(E.EndPosition - E.StartPosition),
                    ToolFormatName(E.CompressionFormat).c_str(), ToolMD5Hex(E.MD5Digest).c_str());
    }
    return 0;
}

int ToolInfo(const std::string& Archive) {
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ToolToAnsi(Archive));
    auto Line = [](const char* Label, const std::string& Value) { std::printf("%-18s%s\n", Label, Value.c_str()); };
    Line("Archive:", Archive);
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
    Line("Title:", ToolToUtf8(R->Title()));
    Line("Subject:", ToolToUtf8(R->Subject()));
    Line("Author:", ToolToUtf8(R->Author()));
    Line("Version:", std::to_string(R->Version()));
    Line("Maker:", ToolToUtf8(R->Maker()));
    Line("Maker version:", std::to_string(R->MakerVersion()));
    Line("Keywords:", ToolToUtf8(R->KeyWords()));
    Line("Comments:", ToolToUtf8(R->Comments()));
    Line("Extra fields:", std::to_string(R->ExtraInfoCount()));
    for (std::int32_t I = 0; I < R->ExtraInfoCount(); ++I) {
        const TSFDSFileExtraInfoField& F = *R->ExtraInfoFields().Items(I);
        const nlohmann::ordered_json V = ExtraValue(F);
        std::string Value = V.is_string() ? V.get<std::string>() : V.dump();
        if (F.FieldType == EIDate && !DateText(F.ValueDate).empty()) Value += " (" + DateText(F.ValueDate) + ")";
        std::printf("  %s [%s]: %s\n", ToolToUtf8(F.Name).c_str(), ExtraTypeName(F.FieldType), Value.c_str());
    }
    return 0;
}
