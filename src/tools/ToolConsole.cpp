#include "tools/ToolConsole.h"

std::filesystem::path ToolPath(const std::string& Utf8) {
    return std::filesystem::path(std::u8string(Utf8.begin(), Utf8.end()));
}

std::string ToolPathText(const std::filesystem::path& Path) {
    const std::u8string S = Path.u8string();
    return std::string(S.begin(), S.end());
}
