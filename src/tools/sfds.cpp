// The `sfds` command-line tool, for people who make and check content media.
// Other tools drive it: subcommands, options, output and exit codes are a
// contract (see ToolDescription).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "codecs/sfds_library_scope.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "tools/ToolArchive.h"
#include "tools/ToolCat.h"
#include "tools/ToolCommand.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolExtract.h"
#include "tools/ToolPack.h"
#include "tools/ToolText.h"

namespace {

std::vector<std::string> FormatChoices() {
    std::vector<std::string> Names;
    for (const TToolFormatName& F : ToolFormatNames) Names.emplace_back(F.Name);
    return Names;
}

std::uint8_t FormatID(const std::string& Name) {
    for (const TToolFormatName& F : ToolFormatNames)
        if (Name == F.Name) return F.ID;
    throw CLI::ValidationError(Name);  // not reached: CLI11 checked the name
}
const std::map<std::string, TSFDSCompressionLevel> LevelNames{
    {"fastest", clFastest}, {"default", clDefault}, {"max", clMax}};
const std::map<std::string, TStreamAutorenameMode> RenameNames{
    {"none", sarmNone}, {"system", sarmSystem}, {"windows", sarmWindows}, {"unix", sarmUNIX}};
const std::map<std::string, TSFDSLocatorPlacement> LocatorNames{{"head", lpHostOffset}, {"tail", lpHostEnd}};
const std::map<std::string, TToolPackOrder> OrderNames{{"natural", poNatural}, {"name", poName}, {"given", poGiven}};

void AddCodePage(CLI::App* Command, std::string& CodePage) {
    Command->add_option("--codepage", CodePage,
                        "Code page of the names and texts inside the container: a Windows code page number "
                        "(949, CP949) or UTF-8; default: SFDS_CODEPAGE (the same names), else the locale's, "
                        "UTF-8 under the C locale");
}

}  // namespace

int main(int argc, char** argv) {
    ToolBinaryConsole();
    const std::vector<std::string> Args = ToolCommandLine(argc, argv);

    CLI::App App(ToolDescriptionText(), ToolName);
    ToolPrepareApp(App);
    ToolSetExamples(&App,
                    {{"sfds pack QMZBox/QMZImage.QMZ photos/", "Packs the pictures below photos/ for the launcher."},
                     {"sfds test QMZBox/QMZImage.QMZ", "Verifies every entry before the archive ships."},
                     {"sfds list QMZBox/QMZImage.QMZ", "Shows the entries in the order the viewer shows them."}});
    std::string CodePage;

    TToolListOptions List;
    std::string Rename = "none";
    CLI::App* ListCmd = App.add_subcommand("list", "One line per entry in table order: name, size, packed size, "
                                                   "format, MD5 (tab-separated), or everything as JSON");
    ListCmd->add_option("ARCHIVE", List.Archive, "The container file")->required();
    ListCmd->add_flag("--json", List.Json, "Write one JSON object with the header, metadata and entries");
    ListCmd->add_flag("--unique", List.Unique, "Give entries with the same name unique names");
    ListCmd->add_option("--rename", Rename, "Rewrite entry names: none, system, windows or unix")
        ->check(CLI::IsMember({"none", "system", "windows", "unix"}));
    AddCodePage(ListCmd, CodePage);
    ToolSetExamples(ListCmd,
                    {{"sfds list QMZBox/QMZImage.QMZ", "One line per entry: name, size, packed size, format, MD5."},
                     {"sfds list --json QMZBox/QMZImage.QMZ", "The same and the header, as JSON for scripts."},
                     {"sfds list --codepage CP949 old.QMZ", "An archive made on a Korean Windows system."}});

    std::string Archive, DestDir, Mask;
    CLI::App* TestCmd = App.add_subcommand("test", "Verify every selected entry (decompress and check its MD5); "
                                                   "one line per entry, OK or the failure, then a summary line "
                                                   "on standard error");
    TestCmd->add_option("ARCHIVE", Archive, "The container file")->required();
    TestCmd->add_option("MASK", Mask, "Masks separated by ';' (* and ?), letter case ignored; default: all");
    AddCodePage(TestCmd, CodePage);
    ToolSetExamples(TestCmd,
                    {{"sfds test QMZBox/QMZImage.QMZ", "Verifies every entry; exit status 0 when all pass."},
                     {"sfds test QMZBox/QMZImage.QMZ '*.jpg;*.jpeg'", "Verifies the JPEG pictures only."},
                     {"sfds test box.QMZ > report.txt",
                      "The lines per entry into a file; the summary line stays on standard error."}});

    CLI::App* ExtractCmd = App.add_subcommand("extract", "Extract the selected entries below DESTDIR, verified");
    ExtractCmd->add_option("ARCHIVE", Archive, "The container file")->required();
    ExtractCmd->add_option("DESTDIR", DestDir, "Destination folder, created as needed")->required();
    ExtractCmd->add_option("MASK", Mask, "Masks separated by ';' (* and ?), letter case ignored; default: all");
    AddCodePage(ExtractCmd, CodePage);
    ToolSetExamples(ExtractCmd, {{"sfds extract QMZBox/QMZImage.QMZ photos", "Every entry below photos/, verified."},
                                 {"sfds extract QMZBox/QMZImage.QMZ photos '1*.jpg'",
                                  "Only the entries whose names match the mask."}});

    std::string ArchivePath;
    CLI::App* CatCmd = App.add_subcommand("cat", "Write one stored file, decompressed, to standard output");
    CatCmd->add_option("ARCHIVE::ENTRY", ArchivePath, "The container file, '::' and the entry's name")->required();
    AddCodePage(CatCmd, CodePage);
    ToolSetExamples(CatCmd, {{"sfds cat QMZBox/QMZImage.QMZ::1.jpg > 1.jpg", "One picture, verified, into a file."},
                             {"sfds cat 'box.QMZ::notes\\readme.txt' | less",
                              "A stored text; stored names separate folders with \\."}});

    CLI::App* InfoCmd = App.add_subcommand("info", "Show the header, metadata and extra fields");
    InfoCmd->add_option("ARCHIVE", Archive, "The container file")->required();
    AddCodePage(InfoCmd, CodePage);
    ToolSetExamples(InfoCmd, {{"sfds info QMZBox/QMZImage.QMZ", "The header, the metadata and the extra fields."},
                              {"sfds info setup.exe", "A container inside a host file, found through its locator."}});

    TToolPackOptions Pack;
    std::string PackFormat = "zlib", PackLevel = "default", TableFormat = "zlib", Locator, Order = "natural";
    CLI::App* PackCmd = App.add_subcommand("pack", "Write a container from files and folders (folders recursively, "
                                                   "entries named relative to the folder), in natural order");
    PackCmd->add_option("ARCHIVE", Pack.Archive, "The container file to write; one already there is replaced only once the new one is complete")->required();
    PackCmd->add_option("INPUTS", Pack.Inputs, "Files and folders to store")->required()->expected(-1);
    PackCmd->add_option("--format", PackFormat, "Compression of the entries: store, zlib or bzip2 (default zlib)")
        ->check(CLI::IsMember(FormatChoices()));
    PackCmd->add_option("--level", PackLevel, "Compression level: fastest, default or max (default default)")
        ->check(CLI::IsMember({"fastest", "default", "max"}));
    PackCmd->add_option("--table-format", TableFormat, "Compression of the entry table: store, zlib or bzip2")
        ->check(CLI::IsMember(FormatChoices()));
    PackCmd->add_option("--title", Pack.Title, "Title");
    PackCmd->add_option("--subject", Pack.Subject, "Subject");
    PackCmd->add_option("--author", Pack.Author, "Author");
    PackCmd->add_option("--comments", Pack.Comments, "Comments");
    PackCmd->add_option("--keywords", Pack.KeyWords, "Keywords");
    CLI::Option* HostOpt =
        PackCmd->add_option("--host", Pack.Host, "Put the container inside a copy of this file, found through a locator");
    PackCmd->add_option("--locator", Locator, "Where the locator goes: head (over bytes 46..57) or tail (default)")
        ->check(CLI::IsMember({"head", "tail"}))
        ->needs(HostOpt);
    PackCmd->add_option("--order", Order,
                        "Order of the entries, which the viewer shows pictures in: natural (default) sorts every "
                        "entry as people and Windows Explorer order names (digit runs as numbers, letters without "
                        "case, folder by folder: 1.jpg 2.jpg 10.jpg, IMG_9 before IMG_10); name sorts every entry by "
                        "the plain bytes of its name; given keeps the files and folders in the order named here, "
                        "each folder's files by the plain bytes of their names. Entries of the same name keep the "
                        "order named")
        ->check(CLI::IsMember({"natural", "name", "given"}));
    AddCodePage(PackCmd, CodePage);
    ToolSetExamples(PackCmd,
                    {{"sfds pack QMZBox/QMZImage.QMZ photos/", "Every file below photos/, in natural order."},
                     {"sfds pack --format store QMZBox/QMZImage.QMZ photos/",
                      "The same, stored without compression: JPEG data hardly shrinks."},
                     {"sfds pack --order given box.QMZ cover.jpg photos/", "cover.jpg first, then the folder."}});

    if (const std::optional<int> Exit = ToolParseCommandLine(App, Args)) return *Exit;

    if (!CodePage.empty() && !SetSystemCodePage(CodePage)) {
        ToolError(Format(ToolUnknownCodePage, CodePage.c_str()));
        return 2;
    }
    // Names would be read in a code page the user did not ask for.
    if (CodePage.empty() && !UnknownEnvironmentCodePage().empty()) {
        ToolError(Format(ToolUnknownEnvironmentCodePage, UnknownEnvironmentCodePage().c_str()));
        return 2;
    }

    TSFDSLibrary Library;
    // The archive the command works on, which a failure to open it names.
    const std::string Subject = *ListCmd ? List.Archive
                                : *CatCmd ? ArchivePath.substr(0, ArchivePath.find("::"))
                                : *PackCmd ? Pack.Archive
                                           : Archive;
    try {
        if (*ListCmd) {
            List.Rename = RenameNames.at(Rename);
            return ToolList(List);
        }
        if (*TestCmd) return ToolTest(Archive, Mask);
        if (*ExtractCmd) return ToolExtract(Archive, DestDir, Mask);
        if (*CatCmd) return ToolCat(ArchivePath);
        if (*InfoCmd) return ToolInfo(Archive);
        if (*PackCmd) {
            Pack.Format = FormatID(PackFormat);
            Pack.Level = LevelNames.at(PackLevel);
            Pack.TableFormat = FormatID(TableFormat);
            if (!Locator.empty()) Pack.Locator = LocatorNames.at(Locator);
            Pack.Order = OrderNames.at(Order);
            return ToolPack(Pack);
        }
    } catch (const Exception& E) {
        // Opening or parsing failed: the library's own words, about the archive.
        ToolError(ToolAbout(Subject, ToolToUtf8(E.Message())));
        return 1;
    } catch (const std::exception& E) {
        ToolError(ToolAbout(Subject, E.what()));
        return 1;
    }
    return 2;
}
