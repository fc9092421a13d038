#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "support/TempDir.h"
#include "tools/ToolText.h"

TEST(ToolText, ControlCharactersAreShownEscaped) {
    const std::vector<std::pair<std::string, std::string>> Cases = {
        {"plain\\name.jpg", "plain\\name.jpg"},
        {"a\tb", "a\\x09b"},
        {"line\nforged\r", "line\\x0aforged\\x0d"},
        {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7f"},
        {"csi\xC2\x9b" "2J", "csi\\u009b2J"},  // a C1 control in UTF-8
        {"\xC2\xA0nbsp \xED\x95\x9C", "\xC2\xA0nbsp \xED\x95\x9C"},  // printable stays
        {"cut\xC2", "cut\xC2"},
    };
    for (const auto& [In, Out] : Cases) EXPECT_EQ(ToolShown(In), Out) << Out;
    EXPECT_EQ(ToolOneLine("MD5 Error:\r\n\"a\tb\"\n"), "MD5 Error: \"a\\x09b\" ");
}

TEST(ToolText, PercentOfAnyTwoValuesFromTheFile) {
    const std::vector<std::tuple<std::int64_t, std::int64_t, int>> Percents = {
        {0, 100, 0},          {50, 100, 50},         {100, 100, 100},          {200, 100, 100},
        {1, 0, 100},          {-5, 100, 0},          {INT64_MAX / 2, INT64_MAX, 49}, {INT64_MAX / 2 + 1, INT64_MAX, 50}, {INT64_MAX - 1, INT64_MAX, 99},
        {INT64_MAX, -1, 100}, {INT64_MAX / 50, INT64_MAX / 25, 50},
        // Exactly 37 % of a size beyond 64-bit products, and one byte less.
        {INT64_MAX / 100 * 37, INT64_MAX / 100 * 100, 37}, {INT64_MAX / 100 * 37 - 1, INT64_MAX / 100 * 100, 36},
        {1, 3, 33},           {2, 3, 66},
    };
    for (const auto& [Done, Total, Percent] : Percents)
        EXPECT_EQ(ToolPercent(Done, Total), Percent) << Done << " of " << Total;
}

// Names reach the terminal and the tab-separated listing with their control
// characters escaped: no name can forge a line or a column, or drive the
// terminal. JSON carries them exactly, in JSON's own escapes.
TEST(ToolOutput, HostileNamesCannotForgeLinesColumnsOrEscapes) {
    TTempDir Dir;
    const std::vector<std::pair<std::string, std::string>> Names = {
        {"a\tb", "a\\x09b"},
        {"line\nforged\tOK", "line\\x0aforged\\x09OK"},
        {"\x1b]0;title\x07\x1b[2J", "\\x1b]0;title\\x07\\x1b[2J"},
        {"csi\xC2\x9b" "31m", "csi\\u009b31m"},
    };
    const std::string Archive = WriteContainer(Dir.File("names.sfds"), [&](TSFDSFileWriter& W) {
        for (const auto& [Raw, Shown] : Names) W.AddBytes(Raw, "data", 0);
        W.SetTitle("Title\x1b[8m");
    });
    TRun R = RunToolAfter(Dir, "export SFDS_CODEPAGE=UTF-8", {"list", Archive});
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), static_cast<long>(Names.size()));
    EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\t'), static_cast<long>(4 * Names.size()));
    EXPECT_EQ(R.Out.find('\x1b'), std::string::npos);
    for (const auto& [Raw, Shown] : Names) EXPECT_NE(R.Out.find(Shown + "\t4\t4\tstore\t"), std::string::npos) << Shown;

    R = RunToolAfter(Dir, "export SFDS_CODEPAGE=UTF-8", {"test", Archive});
    EXPECT_EQ(R.Code, 0) << R.Err;
    for (const auto& [Raw, Shown] : Names) EXPECT_NE(R.Out.find(Shown + ": OK\n"), std::string::npos) << Shown;
    EXPECT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), static_cast<long>(Names.size()));

    R = RunToolAfter(Dir, "export SFDS_CODEPAGE=UTF-8", {"info", Archive});
    EXPECT_NE(R.Out.find("Title:            Title\\x1b[8m\n"), std::string::npos) << R.Out;

    R = RunToolAfter(Dir, "export SFDS_CODEPAGE=UTF-8", {"list", "--json", Archive});
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out.find('\x1b'), std::string::npos);
    const nlohmann::json J = nlohmann::json::parse(R.Out);
    for (std::size_t I = 0; I < Names.size(); ++I) EXPECT_EQ(J["entries"][I]["name"], Names[I].first);
    EXPECT_EQ(J["title"], "Title\x1b[8m");

    R = RunTool(Dir, {"--help"});
    EXPECT_NE(R.Out.find("\\xHH"), std::string::npos) << R.Out;
    // The exit codes it documents are the library's result codes.
    EXPECT_NE(R.Out.find("(13 MD5 mismatch, 15 no such stored file, 16 destination cannot be created, 18 read "
                         "error,\n19 write error, 21 cancelled)"),
              std::string::npos)
        << R.Out;
}

// list --json writes one entry at a time; the document is byte for byte what
// the JSON library prints for it with an indent of 2, whatever the table.
TEST(ToolOutput, StreamedJsonIsTheLibrarysOwnPrettyPrint) {
    TTempDir Dir;
    struct TCase {
        std::string Name;
        std::function<void(TSFDSFileWriter&)> Setup;
    };
    const std::vector<TCase> Cases = {
        {"empty", [](TSFDSFileWriter&) {}},
        {"one", [](TSFDSFileWriter& W) { W.AddBytes("one.txt", "1", 1); }},
        {"three",
         [](TSFDSFileWriter& W) {
             W.SetTitle("t");
             TSFDSFileExtraInfoField F;
             F.Name = "Read";
             F.FieldType = EIBoolean;
             F.ValueBoolean = true;
             W.ExtraInfoFields().AddOrUpdateField(F);
             W.AddBytes("a\\b.txt", "alpha", 1);
             W.AddBytes("quote\"slash\\nl\n", "", 0);
             W.AddBytes("bad\xFFutf8", "x", 2);
         }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Archive = WriteContainer(Dir.File(C.Name + ".sfds"), C.Setup);
        const TRun R = RunToolAfter(Dir, "export SFDS_CODEPAGE=UTF-8", {"list", "--json", Archive});
        ASSERT_EQ(R.Code, 0) << R.Err;
        const nlohmann::ordered_json J = nlohmann::ordered_json::parse(R.Out);
        EXPECT_EQ(R.Out, J.dump(2) + "\n");
    }
}

// Positions and sizes from the file may be anything: list, info, test,
// extract and cat saturate or refuse instead of overflowing (the sanitizing
// build turns an overflow into a crash here).
TEST(ToolOutput, ExtremeValuesFromTheFileNeitherOverflowNorCrash) {
    TTempDir Dir;
    const std::string Archive = WriteContainer(Dir.File("extreme.sfds"), [](TSFDSFileWriter& W) {
        W.AddBytes("a", "data", 0);
        W.Entry(0).StartPosition = INT64_MIN;
        W.Entry(0).EndPosition = INT64_MAX;
        W.Entry(0).FileSize = INT64_MAX;
        W.AddBytes("b", "data", 1);
        W.Entry(1).FileSize = INT64_MAX;
        W.AddBytes("c", "data", 0);
        W.Entry(2).StartPosition = INT64_MAX;
        W.Entry(2).EndPosition = INT64_MIN;
        W.Entry(2).FileSize = INT64_MIN;
        W.AddBytes("d", "data", 2);
        W.Entry(3).FileSize = -1;
    });
    TRun R = RunTool(Dir, {"list", Archive});
    EXPECT_EQ(R.Code, 0) << R.Err;
    EXPECT_NE(R.Out.find("a\t9223372036854775807\t9223372036854775807\t"), std::string::npos) << R.Out;
    EXPECT_NE(R.Out.find("c\t-9223372036854775808\t-9223372036854775808\t"), std::string::npos) << R.Out;
    R = RunTool(Dir, {"list", "--json", Archive});
    EXPECT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(nlohmann::json::parse(R.Out)["entries"][0]["packed"], INT64_MAX);
    for (const std::vector<std::string>& Args :
         std::vector<std::vector<std::string>>{{"info", Archive},
                                               {"test", Archive},
                                               {"extract", Archive, Dir.File("out")},
                                               {"cat", Archive + "::a"},
                                               {"cat", Archive + "::b"},
                                               {"cat", Archive + "::c"},
                                               {"cat", Archive + "::d"}}) {
        SCOPED_TRACE(Args[0] + " " + Args.back());
        R = RunTool(Dir, Args);
        EXPECT_LT(R.Code, 128) << R.Err;  // no signal, no sanitizer abort
        EXPECT_EQ(R.Err.find("runtime error"), std::string::npos) << R.Err;
    }
}
