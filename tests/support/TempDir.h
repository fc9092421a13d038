// A fresh folder per test, removed with everything in it when the test ends.
#pragma once

#include <map>
#include <string>

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // Path with a trailing '/'.
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& Name) const { return FPath + Name; }

private:
    std::string FPath;
};

// Whole-file helpers for fixtures.
std::string ReadWholeFile(const std::string& FileName);
void WriteWholeFile(const std::string& FileName, const std::string& Bytes);
// Every regular file below the folder Root (UTF-8): its name relative to Root
// in UTF-8 with `/` separators, and its bytes.
std::map<std::string, std::string> FilesBelow(const std::string& Root);
