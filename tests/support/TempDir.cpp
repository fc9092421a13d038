#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TTempDir::TTempDir() {
    const char* Base = std::getenv("TMPDIR");
    std::string Pattern = std::string(Base && *Base ? Base : "/tmp") + "/qmztest-XXXXXX";
    if (::mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    FPath = Pattern + "/";
}

TTempDir::~TTempDir() {
    std::error_code Ec;
    std::filesystem::remove_all(FPath, Ec);
}

std::string ReadWholeFile(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + FileName);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteWholeFile(const std::string& FileName, const std::string& Bytes) {
    std::ofstream Out(FileName, std::ios::binary | std::ios::trunc);
    if (!Out) throw std::runtime_error("cannot write " + FileName);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}
