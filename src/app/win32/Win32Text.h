// Texts cross between the core (UTF-16 strings) and the wide Windows API
// here: on Windows wchar_t is a UTF-16 code unit.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide Windows API takes UTF-16");

inline std::wstring Wide(const std::u16string& Text) { return std::wstring(Text.begin(), Text.end()); }
inline std::u16string FromWide(const std::wstring& Text) { return std::u16string(Text.begin(), Text.end()); }
// A text of AppConsts.h (UTF-8) for the wide API.
std::wstring WideText(const char* Utf8);
