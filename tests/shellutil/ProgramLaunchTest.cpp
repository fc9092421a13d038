#include "shellutil/ProgramLaunch.h"

#include <gtest/gtest.h>

#include "shellutil/ShellConsts.h"

namespace {

TEST(ProgramLaunchTest, ElevationMessages) {
    const struct {
        std::uint32_t Code;
        std::u16string Expected;
    } Cases[] = {
        {1223, u"사용자가 권한 상승 요청을 거절"},
        {2, u"FILE NOT FOUND!"},
        {5, u"ACCESS DENIED"},
        {3, u"error no: 3"},
        {1155, u"error no: 1155"},
        {0, u"error no: 0"},
        {4294967295u, u"error no: 4294967295"},
    };
    for (const auto& C : Cases) EXPECT_EQ(ElevationErrorMessage(C.Code), C.Expected) << C.Code;
}

TEST(ProgramLaunchTest, MessageProcIsReplaceable) {
    std::u16string Seen;
    const TShellMessageProc Before = SetShellMessageProc([&](const std::u16string& T) { Seen = T; });
    const TShellMessageProc Mine = SetShellMessageProc(Before);
    ASSERT_TRUE(Mine);
    Mine(u"x");
    EXPECT_EQ(Seen, u"x");
}

}  // namespace
