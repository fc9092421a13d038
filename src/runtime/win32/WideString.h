// Names for the wide Win32 API: the process code page in, UTF-16 to the
// system, and back. One place for what every win32 backend needs.
#pragma once

#include <string>
#include <string_view>

#include "runtime/CodePage.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 API speaks UTF-16");

inline std::wstring AnsiToWide(std::string_view S) {
    const std::u16string W = AnsiToUnicode(S);
    return std::wstring(W.begin(), W.end());
}

inline std::string WideToAnsi(std::wstring_view S) {
    return UnicodeToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(S.data()), S.size()));
}
