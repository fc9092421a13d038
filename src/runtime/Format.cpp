#include "runtime/Format.h"

#include <climits>
#include <cstdarg>
#include <cstdio>

#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"
std::string Format(const char* Fmt, ...) {
    va_list Args;
    va_start(Args, Fmt);
    va_list Copy;
    va_copy(Copy, Args);
    const int Needed = std::vsnprintf(nullptr, 0, Fmt, Copy);
    va_end(Copy);
    std::string Result;
    if (Needed > 0) {
        Result.resize(static_cast<std::size_t>(Needed) + 1);
        std::vsnprintf(Result.data(), Result.size(), Fmt, Args);
        Result.resize(static_cast<std::size_t>(Needed));
    }
    va_end(Args);
    return Result;
}

void CheckInt32Range(long long Value) {
    if (Value < INT_MIN || Value > INT_MAX) throw ERangeError(SRangeError);
}
