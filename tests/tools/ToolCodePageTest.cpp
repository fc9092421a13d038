#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolRun.h"
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
        {"nonsense", {}, 2, "", "Unknown code page in SFDS_CODEPAGE: nonsense\n"},
        {"12", {}, 2, "", "Unknown code page in SFDS_CODEPAGE: 12\n"},
        {"nonsense", {"--codepage", "CP949"}, 0, HangulUTF8 + ".jpg\t", ""},
        {"", {"--codepage", "x949"}, 2, "", "Unknown code page: x949\n"},
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
