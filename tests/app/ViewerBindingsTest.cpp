#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/ViewerBindings.h"

TEST(ViewerBindingsTest, KeysAndButtonsRunNamedCommands) {
    struct {
        TViewerKey Key;
        const char* Command;
    } const Keys[] = {
        {vkRight, "next-picture"}, {vkSpace, "next-picture"}, {vkPageDown, "next-picture"},
        {vkEscape, "close-viewer"}, {vkOther, "none"},
    };
    for (const auto& K : Keys) EXPECT_STREQ(ViewerCommandName(ViewerCommandForKey(K.Key)), K.Command);

    struct {
        const char* Caption;
        const char* Command;
    } const Buttons[] = {{"X", "close-viewer"}, {"<", "close-viewer"}, {">", "next-picture"}};
    ASSERT_EQ(ViewerButtonCount, std::size(Buttons));
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        EXPECT_STREQ(ViewerButtons[I].Caption, Buttons[I].Caption);
        EXPECT_STREQ(ViewerCommandName(ViewerButtons[I].Command), Buttons[I].Command);
    }

    std::set<std::string> Names;
    for (const auto& N : ViewerCommandNames) Names.insert(N.Name);
    EXPECT_EQ(Names.size(), std::size(ViewerCommandNames));  // each name once
}

TEST(ViewerBindingsTest, ButtonsArePlacedByTheWindowSize) {
    struct {
        int W, H;
        TPoint X, Back, Next;
    } const Cases[] = {
        {1024, 768, {981, 3}, {429, 725}, {529, 725}},
        {1001, 601, {958, 3}, {417, 558}, {517, 558}},  // odd sizes truncate
        {651, 338, {608, 3}, {242, 295}, {342, 295}},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ViewerButtonPosition(0, C.W, C.H), C.X) << C.W;
        EXPECT_EQ(ViewerButtonPosition(1, C.W, C.H), C.Back) << C.W;
        EXPECT_EQ(ViewerButtonPosition(2, C.W, C.H), C.Next) << C.W;
    }
}
