// Orders that callers depend on and that nothing else pins down: which open
// reader a bare name is taken from, where container detection looks first,
// and that a test run leaves a caller's stream alone.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_reader.h"

namespace {

std::string LocatorTo(std::int64_t Offset) {
    SFDS_Locator L;
    L.ContainerOffset = Offset;
    std::array<std::uint8_t, SFDS_LocatorSize> Bytes;
    SFDS_EncodeLocator(L, Bytes);
    return std::string(Bytes.begin(), Bytes.end());
}

TWriterSetup OneEntry(const std::string& Name, const std::string& Bytes) {
    return [=](TSFDSFileWriter& W) { W.AddBytes(Name, Bytes, 0); };
}

std::string Opened(const std::string& ArchivePath) {
    std::unique_ptr<TStream> S;
    std::int64_t Size = 0;
    if (!SFDS_OpenStream(ArchivePath, S, Size, sarmNone)) return "(none)";
    return ReadToEnd(*S);
}

// A reader over a caller's memory stream, registered without a name; each
// entry stream reads a copy of the bytes.
class TStreamReader : public TSFDSCustomReader {
public:
    explicit TStreamReader(TMemoryStream& S) : TSFDSCustomReader(&S, 0, nullptr, nullptr, {}, false, sarmNone), FS(S) {}
    std::unique_ptr<TStream> Clone(std::int64_t, std::int64_t, TCloneStreamMode& Mode) override {
        Mode = csmFull;
        return std::make_unique<TMemoryStream>(FS.AsString());
    }

private:
    TMemoryStream& FS;
};

}  // namespace

TEST(LookupOrder, BareNameTakesTheFirstUnnamedReaderBeforeNamedOnes) {
    TTempDir Dir;
    TReaderListGuard Guard;
    WriteWholeFile(Dir.File("a.sfds"), BuildContainer([](TSFDSFileWriter& W) {
                       W.AddBytes("x.jpg", "named a");
                       W.AddBytes("y.jpg", "a's y");
                   }));
    WriteWholeFile(Dir.File("b.sfds"), BuildContainer([](TSFDSFileWriter& W) {
                       W.AddBytes("x.jpg", "named b");
                       W.AddBytes("y.jpg", "b's y");
                       W.AddBytes("z.jpg", "b's z");
                   }));
    TMemoryStream Bytes1(BuildContainer(OneEntry("x.jpg", "unnamed 1")));
    TMemoryStream Bytes2(BuildContainer(OneEntry("x.jpg", "unnamed 2")));
    // Registered in this order: named a, named b, unnamed 1, unnamed 2.
    TSFDSFileReader A(Dir.File("a.sfds"));
    TSFDSFileReader B(Dir.File("b.sfds"));
    TStreamReader U1(Bytes1);
    TStreamReader U2(Bytes2);

    EXPECT_EQ(Opened("x.jpg"), "unnamed 1");
    EXPECT_EQ(Opened("::X.JPG"), "unnamed 1");
    // Not in the first unnamed reader: the first reader in registration order.
    EXPECT_EQ(Opened("y.jpg"), "a's y");
    EXPECT_EQ(Opened("z.jpg"), "b's z");
    // A named archive is the only one searched.
    EXPECT_EQ(Opened(Dir.File("b.sfds") + "::x.jpg"), "named b");
}

TEST(LookupOrder, ContainerDetectionPrecedence) {
    // Host bytes, then container X at its end, then container Y after X.
    auto TwoContainers = [](std::string Host, const std::string& XName, const std::string& YName,
                            std::int64_t& X, std::int64_t& Y) {
        X = static_cast<std::int64_t>(Host.size());
        std::string Bytes = BuildContainer(OneEntry(XName, "x"), Host);
        Y = static_cast<std::int64_t>(Bytes.size());
        return BuildContainer(OneEntry(YName, "y"), Bytes);
    };
    struct TCase {
        const char* Label;
        std::string Bytes;
        std::int64_t Base;
        std::int64_t Start;
    };
    std::vector<TCase> Cases;
    {
        // A container at 0 and another at the base: the base wins.
        std::int64_t X = 0, Y = 0;
        const std::string Bytes = TwoContainers(std::string(), "at0", "atbase", X, Y);
        Cases.push_back({"header at the base before the one at 0", Bytes, Y, Y});
        Cases.push_back({"header at 0 when the base has none", Bytes, 50, 0});
    }
    {
        // Locators at byte 46 and at the end, to different containers.
        std::int64_t X = 0, Y = 0;
        std::string Host = PatternBytes(300, 7);
        std::string Bytes = TwoContainers(Host, "by46", "bytail", X, Y);
        Bytes.replace(46, 12, LocatorTo(X));
        Bytes += LocatorTo(Y);
        Cases.push_back({"byte 46 before the tail", Bytes, 0, X});
    }
    {
        // Base 100: locators at 100 + 46 and at 46 point to different containers.
        std::int64_t X = 0, Y = 0;
        std::string Host = PatternBytes(400, 8);
        std::string Bytes = TwoContainers(Host, "frombase", "from0", X, Y);
        Bytes.replace(146, 12, LocatorTo(X));
        Bytes.replace(46, 12, LocatorTo(Y));
        Cases.push_back({"locator of the base before the one of 0", Bytes, 100, X});
        // The base's search includes its tail: that still comes before byte 46 of 0.
        std::string TailFirst = Bytes;
        TailFirst.replace(146, 12, PatternBytes(12, 9));
        TailFirst += LocatorTo(X);
        Cases.push_back({"tail locator of the base before byte 46 of 0", TailFirst, 100, X});
        Cases.push_back({"locator of 0 when the base has none", TailFirst.substr(0, TailFirst.size() - 12), 100, Y});
    }
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Label);
        TMemoryStream S(C.Bytes);
        S.SetPosition(C.Base);
        std::int64_t Start = -2;
        TGUID Guid;
        EXPECT_TRUE(SFDS_IsSFDSStream(&S, Start, Guid));
        EXPECT_EQ(Start, C.Start);
    }
}

TEST(LookupOrder, TestRunWithACallersStreamWritesNothingIntoIt) {
    TReaderListGuard Guard;
    TMemoryStream Source(BuildContainer([](TSFDSFileWriter& W) {
        W.AddBytes("good.bin", PatternBytes(100000, 3), 1);
        W.AddBytes("bad.bin", "payload", 0);
        W.Entry(1).MD5Digest.v[0] ^= 1;
    }));
    TStreamReader R(Source);
    for (const auto& [Index, Code] : std::vector<std::pair<std::int32_t, std::int32_t>>{{0, SFDS_OK}, {1, SFDS_ERR_MD5}}) {
        SCOPED_TRACE(Index);
        TMemoryStream Caller(std::string("keep me"));
        Caller.SetPosition(5);
        EXPECT_EQ(R.ExtractFileEx(Index, std::string(), &Caller, false, true, {}, false), Code);
        EXPECT_EQ(Caller.AsString(), "keep me");
        EXPECT_EQ(Caller.Position(), 5);
    }
}
