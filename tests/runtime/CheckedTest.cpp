#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "runtime/Checked.h"

namespace {

constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t Min = std::numeric_limits<std::int64_t>::min();

struct TCase {
    std::int64_t A, B;
    bool Fits;
    std::int64_t Result;  // when it fits
};

}  // namespace

TEST(Checked, AddFitsExactlyUpToEitherLimit) {
    const TCase Cases[] = {
        {1, 2, true, 3},          {Max, 0, true, Max},   {Max - 1, 1, true, Max}, {Max, 1, false, 0},
        {1, Max, false, 0},       {Min, 0, true, Min},   {Min + 1, -1, true, Min}, {Min, -1, false, 0},
        {Min, Max, true, -1},     {Max, Min, true, -1},  {Max, Max, false, 0},     {Min, Min, false, 0},
    };
    for (const TCase& C : Cases) {
        std::int64_t Sum = 42;
        EXPECT_EQ(CheckedAdd(C.A, C.B, Sum), C.Fits) << C.A << " + " << C.B;
        EXPECT_EQ(Sum, C.Fits ? C.Result : 42) << C.A << " + " << C.B;
        EXPECT_EQ(SaturatedAdd(C.A, C.B), C.Fits ? C.Result : (C.B > 0 ? Max : Min)) << C.A << " + " << C.B;
    }
}

TEST(Checked, SubFitsExactlyUpToEitherLimit) {
    const TCase Cases[] = {
        {3, 2, true, 1},     {Max, 0, true, Max},  {Max, -1, false, 0}, {-1, Max, true, Min},
        {-2, Max, false, 0}, {Min, 0, true, Min},  {Min, 1, false, 0},  {0, Min, false, 0},
        {-1, Min, true, Max}, {Max, Max, true, 0}, {Min, Min, true, 0}, {0, Max, true, -Max},
    };
    for (const TCase& C : Cases) {
        std::int64_t Difference = 42;
        EXPECT_EQ(CheckedSub(C.A, C.B, Difference), C.Fits) << C.A << " - " << C.B;
        EXPECT_EQ(Difference, C.Fits ? C.Result : 42) << C.A << " - " << C.B;
        EXPECT_EQ(SaturatedSub(C.A, C.B), C.Fits ? C.Result : (C.B < 0 ? Max : Min)) << C.A << " - " << C.B;
    }
}
