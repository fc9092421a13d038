#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolRun.h"
#include "sfds/sfds_formats.h"
#include "support/TempDir.h"

// cat prints what the entry holds and checks it on the way: the size the
// table states and the stored digest. A mismatch is named on standard error
// and exits with the result code extraction gives it.
TEST(ToolCat, ChecksSizeAndDigestOfWhatItPrints) {
    TTempDir Dir;
    const std::string Text(100000, 'x');
    const std::string Archive = WriteContainer(Dir.File("a.sfds"), [&](TSFDSFileWriter& W) {
        W.AddBytes("good.txt", Text, 1);
        W.AddBytes("digest.txt", Text, 1);
        W.Entry(1).MD5Digest.v[3] ^= 0x40;
        W.AddBytes("long.txt", Text, 0);
        W.Entry(2).FileSize += 10;  // states more than there is
        W.AddBytes("short.txt", Text, 1);
        W.Entry(3).FileSize -= 2;  // states less than there is
        W.AddBytes("negative.txt", Text, 0);
        W.Entry(4).FileSize = -1;
        W.AddBytes("broken.txt", Text, 1);
        W.Entry(5).StartPosition += 2;  // skips the zlib header: the data is garbage
        SFDS_FileEntryRecord Unknown = W.Entry(0);
        Unknown.FileName = Unknown.OriginalFileName = "unknown.bin";
        Unknown.CompressionFormat = 9;
        W.AddEntryRecord(Unknown);
    });
    struct TCase {
        std::string Entry;
        int Code;
        std::string Out;  // exactly
        std::string Err;  // exactly
    };
    const std::vector<TCase> Cases = {
        {"good.txt", 0, Text, ""},
        {"digest.txt", 13, Text,
         "MD5 Error in SFDS file: \"" + ToolSees(Archive) + "\", in stream  \"digest.txt\".\n"},
        {"long.txt", 18, Text, "long.txt: 100000 bytes instead of the stored size of 100010\n"},
        {"short.txt", 18, Text.substr(0, Text.size() - 2), "short.txt: more bytes than the stored size of 99998\n"},
        {"negative.txt", 18, "", "negative.txt: more bytes than the stored size of -1\n"},
        {"broken.txt", 18, "", "data error\n"},
        {"unknown.bin", 15, "", "Read error: Unknown compression format (ID : 009)\n"},
        {"missing.bin", 15, "", "Requested stream can't be opened because it does not exist.\n"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Entry);
        const TRun R = RunTool(Dir, {"cat", Archive + "::" + C.Entry});
        EXPECT_EQ(R.Code, C.Code);
        EXPECT_EQ(R.Out.size(), C.Out.size());
        EXPECT_TRUE(R.Out == C.Out);
        EXPECT_EQ(R.Err, C.Err);
    }
}
