#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "runtime/CodePage.h"
#include "support/CodePageScope.h"
#include "support/TempDir.h"

// The code page of the names comes from --codepage or SFDS_CODEPAGE, both
// taking Windows code page numbers; a name that stands for no code page is a
// usage error naming it, never silently replaced by the locale's.
TEST(ToolCodePage, EnvironmentAndOptionTakeTheSameNames) {
    TTempDir Dir;
    const std::string HangulCP949 = "\xC7\xD1\xB1\xDB";
    const std::string HangulUTF8 = "\xED\x95\x9C\xEA\xB8\x80";
    const std::string Archive =
        WriteContainer(Dir.File("k.sfds"), [&](TSFDSFileWriter& W) { W.AddBytes(HangulCP949 + ".jpg", "x", 0); });
    struct TCase {
        std::string Environment;  // SFDS_CODEPAGE, or empty for none
        std::vector<std::string> Options;
        int Code;
        std::string OutStart, Err;
    };
    const std::vector<TCase> Cases = {
        {"949", {}, 0, HangulUTF8 + ".jpg\t", ""},
        {"cp949", {}, 0, HangulUTF8 + ".jpg\t", ""},
        {"", {"--codepage", "949"}, 0, HangulUTF8 + ".jpg\t", ""},
        {"nonsense", {}, 2, "", "sfds: Unknown code page in SFDS_CODEPAGE: nonsense\n"},
        {"12", {}, 2, "", "sfds: Unknown code page in SFDS_CODEPAGE: 12\n"},
        {"nonsense", {"--codepage", "CP949"}, 0, HangulUTF8 + ".jpg\t", ""},
        {"", {"--codepage", "x949"}, 2, "", "sfds: Unknown code page: x949\n"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Environment + (C.Options.empty() ? "" : " " + C.Options[1]));
        std::vector<std::string> Args{"list", Archive};
        Args.insert(Args.end(), C.Options.begin(), C.Options.end());
        const std::string Setup = C.Environment.empty() ? "unset SFDS_CODEPAGE" : "export SFDS_CODEPAGE=" + C.Environment;
        const TRun R = RunToolAfter(Dir, Setup, Args);
        EXPECT_EQ(R.Code, C.Code);
        EXPECT_EQ(R.Out.substr(0, C.OutStart.size()), C.OutStart);
        EXPECT_EQ(R.Err, C.Err);
    }
}

// In code page 932 the second byte of many characters has the value of `\`
// (so, hyou, nou) or `|` (po): extraction cuts names at their separators
// only, on every build.
TEST(ToolCodePage, DoubleByteNamesAreExtractedWhole) {
    TTempDir Dir;
    std::string Archive;
    {
        TCodePageScope CP("CP932");
        if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
        Archive = WriteContainer(Dir.File("j.sfds"), [&](TSFDSFileWriter& W) {
            W.AddBytes(UTF8ToAnsi("ソフト.txt"), "soft", 0);
            W.AddBytes(UTF8ToAnsi("表\\能.txt"), "nou", 1);
            W.AddBytes(UTF8ToAnsi("ポスター\\ソ.txt"), "so", 0);
        });
    }
    const TRun R = RunTool(Dir, {"extract", Archive, Dir.File("out"), "--codepage", "CP932"});
    EXPECT_EQ(R.Code, 0) << R.Out << R.Err;
    EXPECT_EQ(FilesBelow(Dir.File("out")), (std::map<std::string, std::string>{
                                               {"ソフト.txt", "soft"},
                                               {"表/能.txt", "nou"},
                                               {"ポスター/ソ.txt", "so"},
                                           }));
}
