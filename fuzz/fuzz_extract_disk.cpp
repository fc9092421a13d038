// Extraction to a real folder: the input, written as a file, is opened the way
// the tool opens an archive (names exactly as stored, no renaming) and every
// entry is extracted below a fresh destination folder, once by the library's
// walk below a folder and once by the tool's extract command over what the
// walk left (files over files, files where folders are, folders where files
// are; the command goes on past failures). The archive itself lies in the
// destination, as "in.bin" and under a second name, "k". The destination also
// holds links that lead out of it: "l" and "L" to a folder beside it, "s" to a
// file beside it, "h" a second name of that file; and pipes nobody reads, "p"
// and "q/p". Whatever extraction writes must stay inside the destination, no
// pipe may be opened for writing (that would wait for ever: a timeout), and
// the archive must survive: afterwards the target's folder holds the file
// beside it, unchanged, the empty folder beside it, and the destination, in
// which the archive is unchanged and the pipes are still there.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "tools/ToolArchive.h"
#include "tools/ToolExtract.h"

namespace {

constexpr std::string_view VictimBytes = "must stay as it is";

void Fail(const std::string& What) {
    std::fprintf(stderr, "extraction wrote outside its destination: %s\n", What.c_str());
    std::abort();
}

const char* const Pipes[] = {"/p", "/q/p"};

void Plant(const std::string& Dest, const std::string& Input, const std::string& Outside,
           const std::string& Victim) {
    namespace fs = std::filesystem;
    fs::create_directory_symlink(Outside, Dest + "/l");
    fs::create_directory_symlink(Outside, Dest + "/L");
    fs::create_symlink(Victim, Dest + "/s");
    fs::create_hard_link(Victim, Dest + "/h");
    fs::create_hard_link(Input, Dest + "/k");
    fs::create_directory(Dest + "/q");
    for (const char* Pipe : Pipes)
        if (::mkfifo((Dest + Pipe).c_str(), 0600) != 0) std::abort();
}

void CheckNothingOutside(const std::string& Input, std::string_view Bytes, const std::string& Dest,
                         const std::string& Outside, const std::string& Victim) {
    std::error_code Ec;
    for (const auto& Item : std::filesystem::directory_iterator(fuzz::TempFolder(), Ec)) {
        const std::string Path = Item.path().string();
        if (Path != Dest && Path != Outside && Path != Victim) Fail(Path);
    }
    if (!std::filesystem::is_empty(Outside, Ec)) Fail(Outside);
    if (fuzz::ReadFile(Victim) != VictimBytes) Fail(Victim);
    if (fuzz::ReadFile(Input) != Bytes) Fail("the archive " + Input);
    for (const char* Pipe : Pipes)
        if (!std::filesystem::is_fifo(Dest + Pipe, Ec)) Fail("the pipe " + Dest + Pipe);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string Dest = fuzz::TempFolder() + "/dest";
    static const std::string Input = Dest + "/in.bin";
    static const std::string Outside = fuzz::TempFolder() + "/outside";
    static const std::string Victim = fuzz::TempFolder() + "/victim";
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    fuzz::RemoveTree(Dest);
    fuzz::RemoveTree(Outside);
    std::filesystem::create_directory(Dest);
    std::filesystem::create_directory(Outside);
    fuzz::WriteFile(Input, Bytes);
    fuzz::WriteFile(Victim, VictimBytes);
    Plant(Dest, Input, Outside, Victim);

    std::int64_t Budget = fuzz::ReadBudget;
    const TSFDSProgressEvent OnProgress = [&Budget](TSFDSCustomSource*, std::int64_t, std::int64_t,
                                                    std::int64_t ThisTime, bool& Cancel, const std::string&,
                                                    const std::string&) {
        Budget -= ThisTime;
        if (Budget <= 0) Cancel = true;
    };
    try {
        std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(Input);
        R->ExtractFilesTo(Dest, "*", false, OnProgress, false);
        // The command has no budget: it gets archives whose stated sizes fit one.
        if (fuzz::StatedSizesWithin(*R, fuzz::ReadBudget)) ToolExtract(Input, Dest, std::string());
    } catch (const Exception&) {
    }
    CheckNothingOutside(Input, Bytes, Dest, Outside, Victim);
    return 0;
}
