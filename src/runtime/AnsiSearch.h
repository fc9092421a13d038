// Searches for ASCII characters (separators, drive colons, dots, the command
// interpreter's special characters) in 8-bit text of the process code page.
// They find whole characters only: in a double-byte code page the second byte
// of a character may have the value of `\` or `|` and is never taken for one.
// Single-byte code pages and UTF-8 search bytes directly.
#pragma once

#include <string_view>

// Index of the first character at or after From (which starts a character)
// that is one of Chars; npos when there is none.
std::size_t AnsiFindFirstOf(std::string_view S, std::string_view Chars, std::size_t From = 0);
// Index of the last character of S that is one of Chars; npos when none.
std::size_t AnsiFindLastOf(std::string_view S, std::string_view Chars);
// Index of the first occurrence of Needle (ASCII) at or after From that
// begins a character; npos when there is none.
std::size_t AnsiFind(std::string_view S, std::string_view Needle, std::size_t From = 0);
// True when the last character of S is one of Chars.
bool AnsiEndsWithOneOf(std::string_view S, std::string_view Chars);
