// Checked and saturating arithmetic on 64-bit signed values, for positions and
// sizes that come from files and must neither wrap nor be undefined.
#pragma once

#include <cstdint>
#include <limits>

// Sum = A + B and true; false (Sum untouched) when the sum does not fit.
constexpr bool CheckedAdd(std::int64_t A, std::int64_t B, std::int64_t& Sum) {
    if (B > 0 ? A > std::numeric_limits<std::int64_t>::max() - B : A < std::numeric_limits<std::int64_t>::min() - B)
        return false;
    Sum = A + B;
    return true;
}

// Difference = A - B and true; false (Difference untouched) when it does not fit.
constexpr bool CheckedSub(std::int64_t A, std::int64_t B, std::int64_t& Difference) {
    if (B < 0 ? A > std::numeric_limits<std::int64_t>::max() + B : A < std::numeric_limits<std::int64_t>::min() + B)
        return false;
    Difference = A - B;
    return true;
}

// A + B, held at the type's limit in the direction it overflowed: a hostile
// stored value stays far outside any stream instead of wrapping back inside.
constexpr std::int64_t SaturatedAdd(std::int64_t A, std::int64_t B) {
    std::int64_t Sum = 0;
    if (CheckedAdd(A, B, Sum)) return Sum;
    return B > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

// A - B, held at the type's limit in the direction it overflowed.
constexpr std::int64_t SaturatedSub(std::int64_t A, std::int64_t B) {
    std::int64_t Difference = 0;
    if (CheckedSub(A, B, Difference)) return Difference;
    return B < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}
