#include "shellutil/posix/BatchScript.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include "shellutil/ShellConsts.h"

namespace {

using TArgs = std::vector<std::string>;

TEST(BatchScriptTest, PercentExpansion) {
    ::setenv("QMZ_BATCH_TEST", "value", 1);
    ::unsetenv("QMZ_BATCH_UNSET");
    const TArgs Args{"run.bat", "one", "\"two x\""};
    const struct {
        const char* Line;
        const char* Expected;
    } Cases[] = {
        {"%%", "%"},
        {"a%%b%%%%c", "a%b%%c"},
        {"100%% done", "100% done"},
        {"%0 %1 %2", "run.bat one \"two x\""},
        {"[%3][%9]", "[][]"},
        {"all: %*", "all: one \"two x\""},
        {"%QMZ_BATCH_TEST%!", "value!"},
        {"%qmz_batch_test%", "value"},
        {"[%QMZ_BATCH_UNSET%]", "[]"},
        {"50%", "50"},
        {"a%b", "ab"},
        {"no percent", "no percent"},
    };
    for (const auto& C : Cases) EXPECT_EQ(ExpandBatchPercents(C.Line, Args, "one \"two x\""), C.Expected) << C.Line;
}

TEST(BatchScriptTest, CaretEscapesAndOperators) {
    const struct {
        const char* Line;
        bool Ok;
        const char* Expected;
    } Cases[] = {
        {"a^&b^|c^<d^>e^^f", true, "a&b|c<d>e^f"},
        {"^^^&", true, "^&"},
        {"\"a&b|c<d>e\"", true, "\"a&b|c<d>e\""},
        {"\"^&\" ^&", true, "\"^&\" &"},
        {"x^", true, "x"},
        {"^a", true, "a"},
        {"a & b", false, ""},
        {"a|b", false, ""},
        {"a>b", false, ""},
        {"a<b", false, ""},
        {"a^^&b", false, ""},
        {"^\"a&b", false, ""},  // an escaped quote opens no quoted part
        {"\"a\" & b", false, ""},
    };
    for (const auto& C : Cases) {
        std::string Out;
        EXPECT_EQ(RemoveBatchEscapes(C.Line, Out), C.Ok) << C.Line;
        if (C.Ok) {
            EXPECT_EQ(Out, C.Expected) << C.Line;
        }
    }
}

TEST(BatchScriptTest, StartOperands) {
    const struct {
        const char* Operands;
        std::uint32_t Code;
        bool HasFolder;
        const char* Folder;
        const char* Program;
        TArgs Args;
    } Cases[] = {
        {" /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe E:\\QMZBox", 0, true,
         "c:\\Program Files (x86)\\DAUM\\PotPlayer\\", "PotPlayer.exe", {"E:\\QMZBox"}},
        {" /D \"c:\\My Folder\" p.exe a \"b c\"", 0, true, "c:\\My Folder", "p.exe", {"a", "b c"}},
        {" /dc:\\x p.exe", 0, true, "c:\\x", "p.exe", {}},
        {" \"title\" /D\"x\" /MIN /b p.exe", 0, true, "x", "p.exe", {}},
        {" \"\" \"c:\\a b\\p.exe\" arg", 0, false, "", "c:\\a b\\p.exe", {"arg"}},
        {" p.exe E:\\dir with blanks\\QMZBox", 0, false, "", "p.exe", {"E:\\dir", "with", "blanks\\QMZBox"}},
        {" /WAIT p.exe", ecInvalidParameter, false, "", "", {}},
        {" /D", ecInvalidParameter, false, "", "", {}},
        {"", ecNotSupported, false, "", "", {}},
        {" \"title only\"", ecNotSupported, false, "", "", {}},
        {" /D\"x\\\"", ecNotSupported, false, "", "", {}},
    };
    for (const auto& C : Cases) {
        TStartCommand Cmd;
        EXPECT_EQ(ParseStartOperands(C.Operands, Cmd), C.Code) << C.Operands;
        if (C.Code != 0) continue;
        EXPECT_EQ(Cmd.HasFolder, C.HasFolder) << C.Operands;
        EXPECT_EQ(Cmd.Folder, C.Folder) << C.Operands;
        EXPECT_EQ(Cmd.Program, C.Program) << C.Operands;
        EXPECT_EQ(SplitCommandLine(Cmd.Arguments), C.Args) << C.Operands;
    }
}

TEST(BatchScriptTest, TheLauncherBatchFile) {
    const std::string Script =
        "@echo off\r\nstart /D\"c:\\Program Files\\DAUM\\PotPlayer\\\" PotPlayerMini.exe "
        "E:\\a ^& b^|c^<d^>e^^f%%g\\QMZBox\r\n";
    std::vector<TBatchCommand> Cmds;
    ASSERT_EQ(ParseBatchScript(Script, {"run.exe.bat"}, "", Cmds), 0u);
    ASSERT_EQ(Cmds.size(), 1u);
    EXPECT_EQ(Cmds[0].Kind, bcStart);
    EXPECT_EQ(Cmds[0].Start.Folder, "c:\\Program Files\\DAUM\\PotPlayer\\");
    EXPECT_EQ(Cmds[0].Start.Program, "PotPlayerMini.exe");
    EXPECT_EQ(SplitCommandLine(Cmds[0].Start.Arguments), (TArgs{"E:\\a", "&", "b|c<d>e^f%g\\QMZBox"}));
}

TEST(BatchScriptTest, ScriptLines) {
    struct TCase {
        const char* Script;
        std::uint32_t Code;
        std::size_t Starts;
    };
    const TCase Cases[] = {
        {"", 0, 0},
        {"@echo off\r\n\r\n   \r\n", 0, 0},
        {"@ECHO OFF\nStart p.exe\nSTART q.exe\n", 0, 2},
        {"rem a & b\r\n:label | x\r\n::comment > y\r\nstart p.exe\r\n", 0, 1},
        {"echo hello\r\necho.\r\n@echo on\r\nstart p.exe", 0, 1},
        {"start p.exe\r\nexit\r\nstart q.exe\r\n", 0, 1},
        {"start p.exe\r\ndel *.*\r\n", ecNotSupported, 0},
        {"start p.exe\r\nstart q.exe & del x\r\n", ecNotSupported, 0},
        {"start p.exe > out.txt\r\n", ecNotSupported, 0},
        {"start /X p.exe\r\n", ecInvalidParameter, 0},
        {"cmd /c something\r\n", ecNotSupported, 0},
    };
    for (const TCase& C : Cases) {
        std::vector<TBatchCommand> Cmds;
        EXPECT_EQ(ParseBatchScript(C.Script, {"x.bat"}, "", Cmds), C.Code) << C.Script;
        if (C.Code != 0) continue;
        std::size_t Starts = 0;
        for (const TBatchCommand& Cmd : Cmds) Starts += Cmd.Kind == bcStart;
        EXPECT_EQ(Starts, C.Starts) << C.Script;
    }
}

TEST(BatchScriptTest, CommandLineSplitting) {
    const struct {
        const char* Tail;
        TArgs Expected;
    } Cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"\"", {""}},
        {"a\\b\\\\c", {"a\\b\\\\c"}},
        {"a\\\"b", {"a\"b"}},
        {"a\\\\\"b c\"", {"a\\b c"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"C:\\dir\\ E:\\x\\", {"C:\\dir\\", "E:\\x\\"}},
    };
    for (const auto& C : Cases) EXPECT_EQ(SplitCommandLine(C.Tail), C.Expected) << C.Tail;
}

TEST(BatchScriptTest, BatchParameters) {
    EXPECT_EQ(SplitBatchParameters("a,b;c=d \"e f\"  g"), (TArgs{"a", "b", "c", "d", "\"e f\"", "g"}));
    EXPECT_TRUE(SplitBatchParameters(" ,; ").empty());
}

}  // namespace
