// Extraction to a real folder: the input, written as a file, is opened the way
// the tool opens an archive (names exactly as stored, no renaming) and every
// entry is extracted below a fresh destination folder, once by the library's
// walk below a folder and once by the tool's extract command over what the
// walk left (files over files, files where folders are, folders where files
// are; the command goes on past failures). Whatever extraction
// writes must stay inside the destination: afterwards the target's folder
// holds nothing but the input, unchanged, and the destination.
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

void CheckNothingOutside(const std::string& Input, std::string_view Bytes, const std::string& Dest) {
    std::error_code Ec;
    for (const auto& Item : std::filesystem::directory_iterator(fuzz::TempFolder(), Ec)) {
        const std::string Path = Item.path().string();
        if (Path != Input && Path != Dest) {
            std::fprintf(stderr, "extraction wrote outside its destination: %s\n", Path.c_str());
            std::abort();
        }
    }
    if (fuzz::ReadFile(Input) != Bytes) {
        std::fprintf(stderr, "extraction changed the archive beside its destination\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string Input = fuzz::TempFolder() + "/in.bin";
    static const std::string Dest = fuzz::TempFolder() + "/dest";
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    fuzz::WriteFile(Input, Bytes);
    fuzz::RemoveTree(Dest);
    std::filesystem::create_directory(Dest);

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
    CheckNothingOutside(Input, Bytes, Dest);
    return 0;
}
