#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "support/TestPlatform.h"

// Below the system's folder for temporary files (TMPDIR on POSIX, GetTempPath
// on Windows), under a name no other test run holds.
TTempDir::TTempDir() {
    const std::filesystem::path Base = std::filesystem::temp_directory_path();
    std::random_device Seed;
    std::mt19937_64 Random(Seed());
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::filesystem::path Dir = Base / ("qmztest-" + std::to_string(Random() % 1000000000000u));
        std::error_code Ec;
        if (std::filesystem::create_directory(Dir, Ec)) {
            FPath = Dir.string() + "/";
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + Base.string());
}

TTempDir::~TTempDir() {
    std::error_code Ec;
    std::filesystem::remove_all(FPath, Ec);
}

std::string ReadWholeFile(const std::string& FileName) {
    std::ifstream In(TestPath(FileName), std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + FileName);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteWholeFile(const std::string& FileName, const std::string& Bytes) {
    std::ofstream Out(TestPath(FileName), std::ios::binary | std::ios::trunc);
    if (!Out) throw std::runtime_error("cannot write " + FileName);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::map<std::string, std::string> FilesBelow(const std::string& Root) {
    namespace fs = std::filesystem;
    const fs::path Base = TestPath(Root);
    std::map<std::string, std::string> Files;
    for (const fs::directory_entry& E : fs::recursive_directory_iterator(Base)) {
        if (!E.is_regular_file()) continue;
        const std::u8string Name = E.path().lexically_relative(Base).generic_u8string();
        std::ifstream In(E.path(), std::ios::binary);
        Files[std::string(Name.begin(), Name.end())] = std::string(std::istreambuf_iterator<char>(In), {});
    }
    return Files;
}
