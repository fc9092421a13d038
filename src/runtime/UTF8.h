// UTF-8 character stepping, whatever the process code page.
#pragma once

#include <cstddef>

// Byte length of the UTF-8 character starting at P (at least 1, at most
// End - P; 0 at End): a byte that cannot start a character counts alone, an
// incomplete one ends before the first byte that cannot continue it.
std::size_t UTF8CharLength(const char* P, const char* End);
