// The tool's commands that read an archive, called as the tool calls them,
// without a process: list (tab-separated and JSON, also with unique names and
// name rewriting), info, and test of every entry. The input is written as the
// archive file; standard output goes to the null device. Errors of the
// system's own exception tree end a command as they end the tool (exit 1).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "tools/ToolArchive.h"
#include "tools/ToolExtract.h"

namespace {

template <typename TCommand>
void Run(const TCommand& Command) {
    try {
        Command();
    } catch (const Exception&) {
    }
}

TToolListOptions ListOptions(const std::string& Archive, bool Json, bool Unique, TStreamAutorenameMode Rename) {
    TToolListOptions Options;
    Options.Archive = Archive;
    Options.Json = Json;
    Options.Unique = Unique;
    Options.Rename = Rename;
    return Options;
}

// The test walk has no budget: it gets archives whose stated sizes fit one.
bool SmallEnough(const std::string& Archive) {
    try {
        return fuzz::StatedSizesWithin(*ToolOpenArchive(Archive), fuzz::ReadBudget);
    } catch (const Exception&) {
        return true;  // the command then says what is wrong
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string Archive = fuzz::TempFolder() + "/archive.sfds";
    fuzz::WriteFile(Archive, std::string_view(reinterpret_cast<const char*>(Data), Size));
    Run([] { ToolList(ListOptions(Archive, false, false, sarmNone)); });
    Run([] { ToolList(ListOptions(Archive, true, false, sarmNone)); });
    Run([] { ToolList(ListOptions(Archive, true, true, sarmWindows)); });
    Run([] { ToolInfo(Archive); });
    if (SmallEnough(Archive)) Run([] { ToolTest(Archive, std::string()); });
    std::fflush(stdout);
    return 0;
}
