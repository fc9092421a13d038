#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/ToolCommand.h"

TEST(ToolCommand, EditDistanceCountsEditsAndSwaps) {
    struct TCase {
        const char *A, *B;
        std::size_t Distance;
    };
    const std::vector<TCase> Cases = {
        {"", "", 0},         {"list", "list", 0},  {"LIST", "list", 0},  // letter case is no edit
        {"lst", "list", 1},  {"lisst", "list", 1}, {"lest", "list", 1},
        {"tset", "test", 1},  // two neighbours swapped: one edit
        {"", "cat", 3},      {"cat", "", 3},       {"kitten", "sitting", 3},
        {"ca", "abc", 3},    // no edit is made twice: not 2
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(ToolEditDistance(C.A, C.B), C.Distance) << C.A << " -> " << C.B;
        EXPECT_EQ(ToolEditDistance(C.B, C.A), C.Distance) << C.B << " -> " << C.A;
    }
}

TEST(ToolCommand, TheClosestSubcommandIsSuggestedOnlyForASlip) {
    const std::vector<std::string> Commands = {"list", "test", "extract", "cat", "info", "pack"};
    struct TCase {
        const char* Given;
        const char* Suggested;  // empty: none
    };
    const std::vector<TCase> Cases = {
        {"lst", "list"},      {"lsit", "list"},     {"ls", "list"},        {"LIST", "list"},
        {"tset", "test"},     {"tests", "test"},    {"extarct", "extract"}, {"extrat", "extract"},
        {"ca", "cat"},        {"cta", "cat"},       {"inf", "info"},       {"pakc", "pack"},
        {"packs", "pack"},    {"unpack", "pack"},   // two edits: still a slip of a four-letter name
        {"frobnicate", ""},   {"x", ""},            {"", ""},              {"dog", ""},  // "cat" is 3 edits off
        {"extraction", ""},   {"xx", ""},
        {"tast", "test"},     // 1 edit from test, 2 from list: the nearest wins
        {"lest", "list"},     // 1 from list and from test: the first of equally near ones
    };
    for (const TCase& C : Cases) EXPECT_EQ(ToolClosestName(C.Given, Commands), C.Suggested) << C.Given;
}
