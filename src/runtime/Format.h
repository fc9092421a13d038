// printf-style formatting into a std::string, for message texts with %s and %d.
#pragma once

#include <string>
std::string Format(const char* Fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Raises ERangeError unless Value fits a signed 32-bit integer.
void CheckInt32Range(long long Value);
