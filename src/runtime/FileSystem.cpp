// Name handling shared by every backend.
#include "runtime/FileSystem.h"

bool IsPathDelimiter(char C) { return C == '\\' || C == '/'; }

namespace {

// Index one past the last separator or drive colon; 0 when there is none.
std::size_t NamePartStart(const std::string& FileName) {
    const std::size_t P = FileName.find_last_of("\\/:");
    return P == std::string::npos ? 0 : P + 1;
}

}  // namespace

std::string ExtractFilePath(const std::string& FileName) {
    return FileName.substr(0, NamePartStart(FileName));
}

std::string ExtractFileName(const std::string& FileName) {
    return FileName.substr(NamePartStart(FileName));
}

std::string ExtractFileExt(const std::string& FileName) {
    const std::size_t Start = NamePartStart(FileName);
    const std::size_t Dot = FileName.rfind('.');
    if (Dot == std::string::npos || Dot < Start) return {};
    return FileName.substr(Dot);
}

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
    if (!Path.empty() && IsPathDelimiter(Path.back())) return Path;
    return Path + '\\';
}
