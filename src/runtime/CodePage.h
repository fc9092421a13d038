// The process code page ("ANSI" code page): the encoding of every 8-bit string
// of the system. Conversions to and from UTF-8/UTF-16, character stepping and
// lower-casing follow it. Characters a target cannot represent become '?'
// (UTF-16/UTF-8 targets use U+FFFD for undecodable bytes).
#pragma once

#include <string>
#include <string_view>

// The code page number a name stands for, the same on every backend: a
// Windows code page number ("949"), "CP" and the number in any letter case
// ("CP949", "cp949"), or UTF-8 ("UTF-8", "utf8", "65001"). 0 for any other
// name (the POSIX stand-in also takes the converter's own names, "EUC-KR").
unsigned CodePageNumber(std::string_view Name);

// Name of the process code page as the backend knows it ("UTF-8", "CP949");
// SetSystemCodePage takes it back.
std::string SystemCodePage();
bool SystemCodePageIsUTF8();
// Switches the process code page; false (and no change) when the backend does
// not know the name. Callers switch it before any other thread runs.
bool SetSystemCodePage(const std::string& Name);
// The value of the environment variable SFDS_CODEPAGE when it is set but
// names no code page the backend knows (the process code page then comes
// from the system); empty otherwise, so that a program can refuse it.
std::string UnknownEnvironmentCodePage();

std::string AnsiToUTF8(std::string_view S);
std::string UTF8ToAnsi(std::string_view S);
std::u16string AnsiToUnicode(std::string_view S);
std::string UnicodeToAnsi(std::u16string_view S);
std::u16string UTF8ToUnicode(std::string_view S);
std::string UnicodeToUTF8(std::u16string_view S);

// Byte length of the character starting at P (at least 1, at most End - P);
// 0 at End. A lead byte whose next byte completes no character of the code
// page is a character of its own when that byte is below 0x80: the
// conversions above read such a pair as two characters, and so does every
// walk over names that steps with this.
std::size_t AnsiCharLength(const char* P, const char* End);
// True when a character of the process code page can hold a byte below 0x80
// after its first byte (the double-byte code pages: the trail byte of a
// character may be `\` or `|`). Otherwise every such byte is a character
// of its own, and a plain byte search finds only whole characters.
bool SystemCodePageHasAsciiTrailBytes();
// Lower-cases every letter the locale knows of, in the process code page.
std::string AnsiLowerCase(std::string_view S);
std::string AnsiUpperCase(std::string_view S);
