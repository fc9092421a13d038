// Runs a fuzz target's entry point over every file of the given folders (and
// over the empty input), so that the ordinary test run replays the committed
// corpus without libFuzzer:
//   replay_<target> <folder or file>...
// A finding shows as a crash, an abort or a sanitizer report, as it does
// under the fuzzer; the driver names each input before running it, so the
// last name shown is the one that failed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    // Targets may change the current folder while they start.
    std::vector<std::string> Inputs;
    for (int I = 1; I < argc; ++I) {
        const std::filesystem::path Arg = std::filesystem::absolute(argv[I]);
        if (std::filesystem::is_directory(Arg)) {
            for (const auto& Item : std::filesystem::recursive_directory_iterator(Arg))
                if (Item.is_regular_file()) Inputs.push_back(Item.path().string());
        } else if (std::filesystem::is_regular_file(Arg)) {
            Inputs.push_back(Arg.string());
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[I]);
            return 2;
        }
    }
    std::sort(Inputs.begin(), Inputs.end());
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);

    LLVMFuzzerTestOneInput(nullptr, 0);
    for (const std::string& Name : Inputs) {
        std::fprintf(stderr, "replay: %s\n", Name.c_str());
        std::ifstream In(Name, std::ios::binary);
        const std::vector<char> Bytes(std::istreambuf_iterator<char>(In), {});
        // A copy of exactly the input's size, so that reads past its end are caught.
        std::vector<std::uint8_t> Copy(Bytes.begin(), Bytes.end());
        LLVMFuzzerTestOneInput(Copy.data(), Copy.size());
    }
    std::fprintf(stderr, "replay: %zu inputs\n", Inputs.size() + 1);
    return 0;
}
