#include "sfds/sfds_extrainfo.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_streamingutils.h"
#include "support/TestBytes.h"

namespace {

TSFDSFileExtraInfoField Str(const std::string& Name, const std::string& Value) {
    TSFDSFileExtraInfoField F;
    F.Name = Name;
    F.FieldType = EIStr;
    F.ValueString = Value.data();
    F.ValueStringSize = static_cast<std::int32_t>(Value.size());
    return F;
}

TSFDSFileExtraInfoField Number(const std::string& Name, std::int64_t Value) {
    TSFDSFileExtraInfoField F;
    F.Name = Name;
    F.FieldType = EINumber;
    F.ValueNumber = Value;
    return F;
}

TSFDSFileExtraInfoField Date(const std::string& Name, TDateTime Value) {
    TSFDSFileExtraInfoField F;
    F.Name = Name;
    F.FieldType = EIDate;
    F.ValueDate = Value;
    return F;
}

TSFDSFileExtraInfoField Flag(const std::string& Name, bool Value) {
    TSFDSFileExtraInfoField F;
    F.Name = Name;
    F.FieldType = EIBoolean;
    F.ValueBoolean = Value;
    return F;
}

TSFDSFileExtraInfoField Binary(const std::string& Name, const std::string& Value) {
    TSFDSFileExtraInfoField F;
    F.Name = Name;
    F.FieldType = EIBinary;
    F.ValueBinary = reinterpret_cast<const std::uint8_t*>(Value.data());
    F.ValueBinarySize = static_cast<std::int32_t>(Value.size());
    return F;
}

std::string StrOf(PSFDSFileExtraInfoField F) {
    return F->ValueString ? std::string(F->ValueString, static_cast<std::size_t>(F->ValueStringSize)) : "";
}
std::string BinOf(PSFDSFileExtraInfoField F) {
    return F->ValueBinary ? std::string(reinterpret_cast<const char*>(F->ValueBinary),
                                        static_cast<std::size_t>(F->ValueBinarySize))
                          : "";
}

std::string Saved(const TSFDSFileExtraInfoList& L) {
    TMemoryStream S;
    L.SaveToStream(S);
    return S.AsString();
}

// Loads Input and expects EReadError with Message.
void ExpectLoadError(TSFDSFileExtraInfoList& L, const std::string& Input, const char* Message) {
    TMemoryStream S(Input);
    try {
        L.LoadFromStream(S);
        ADD_FAILURE() << "no exception";
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), Message);
    }
}

}  // namespace

TEST(TSFDSFileExtraInfoList, ExactStreamForms) {
    TSFDSFileExtraInfoList L;
    EXPECT_EQ(Saved(L), Bytes({2, 0}));
    L.AddOrUpdateField(Flag("Read", true));
    EXPECT_EQ(Saved(L), Bytes({2, 1, 6, 4, 'R', 'e', 'a', 'd', 2, 3, 2, 1}));

    TMemoryStream Empty(Bytes({2, 0}));
    L.LoadFromStream(Empty);
    EXPECT_EQ(L.Count(), 0);
}

TEST(TSFDSFileExtraInfoList, SaveAndLoadReproduceEveryKindInOrder) {
    const std::string Blob = Bytes({0, 1, 0xFF, 0x80, 0});
    TSFDSFileExtraInfoList L;
    L.AddOrUpdateField(Str("Title", "A picture book"));
    L.AddOrUpdateField(Number("Pages", -1234567890123LL));
    L.AddOrUpdateField(Date("Printed", 45123.5));
    L.AddOrUpdateField(Flag("Hidden", false));
    L.AddOrUpdateField(Flag("Read", true));
    L.AddOrUpdateField(Binary("Thumb", Blob));
    L.AddOrUpdateField(Str("Empty", ""));
    L.AddOrUpdateField(Binary("Nothing", ""));

    TMemoryStream S;
    L.SaveToStream(S);
    SFDS_WriteByte(S, 0x77);  // whatever follows the list stays unread
    S.SetPosition(0);
    TSFDSFileExtraInfoList R;
    R.AddOrUpdateField(Number("Stale", 1));  // loading replaces the content
    R.LoadFromStream(S);
    EXPECT_EQ(SFDS_ReadByte(S), 0x77);

    ASSERT_EQ(R.Count(), 8);
    const char* Names[] = {"Title", "Pages", "Printed", "Hidden", "Read", "Thumb", "Empty", "Nothing"};
    const TSFDSFileExtraInfo Types[] = {EIStr, EINumber, EIDate, EIBoolean, EIBoolean, EIBinary, EIStr, EIBinary};
    for (int I = 0; I < 8; ++I) {
        EXPECT_EQ(R.Items(I)->Name, Names[I]);
        EXPECT_EQ(R.Items(I)->FieldType, Types[I]);
    }
    EXPECT_EQ(StrOf(R.Items(0)), "A picture book");
    EXPECT_EQ(R.Items(1)->ValueNumber, -1234567890123LL);
    EXPECT_EQ(R.Items(2)->ValueDate, 45123.5);
    EXPECT_FALSE(R.Items(3)->ValueBoolean);
    EXPECT_TRUE(R.Items(4)->ValueBoolean);
    EXPECT_EQ(BinOf(R.Items(5)), Blob);
    EXPECT_EQ(R.Items(6)->ValueStringSize, 0);
    EXPECT_EQ(R.Items(6)->ValueString, nullptr) << "a size of 0 gives no buffer";
    EXPECT_EQ(R.Items(7)->ValueBinarySize, 0);
    EXPECT_EQ(Saved(R), Saved(L));
}

TEST(TSFDSFileExtraInfoList, LoadingTakesUnknownTypesAsBinary) {
    // One field "x" of type 7 holding a 2-byte block, then one of type -1.
    const std::string Input = Bytes({2, 2, 6, 1, 'x', 2, 7, 0x0A, 2, 2, 'h', 'i', 6, 1, 'y', 2, 0xFF, 0x0A, 2, 0});
    TSFDSFileExtraInfoList L;
    TMemoryStream S(Input);
    L.LoadFromStream(S);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.Items(0)->FieldType, EIBinary);
    EXPECT_EQ(BinOf(L.Items(0)), "hi");
    EXPECT_EQ(L.Items(1)->FieldType, EIBinary);
    EXPECT_EQ(L.Items(1)->ValueBinarySize, 0);

    // Type 7 must be followed by a binary block.
    ExpectLoadError(L, Bytes({2, 1, 6, 1, 'x', 2, 7, 6, 2, 'h', 'i'}), SInvalidPropertyValue);
    EXPECT_EQ(L.Count(), 0);
}

TEST(TSFDSFileExtraInfoList, SavingAnUnknownTypeKeepsTheStreamReadable) {
    TSFDSFileExtraInfoList L;
    TSFDSFileExtraInfoField Odd = Number("Odd", 5);
    Odd.FieldType = static_cast<TSFDSFileExtraInfo>(9);
    L.AddOrUpdateField(Odd);
    L.AddOrUpdateField(Number("After", 6));
    EXPECT_EQ(Saved(L).substr(0, 11), Bytes({2, 2, 6, 3, 'O', 'd', 'd', 2, 9, 0x0A, 2}));
    TMemoryStream S(Saved(L));
    TSFDSFileExtraInfoList R;
    R.LoadFromStream(S);
    ASSERT_EQ(R.Count(), 2);
    EXPECT_EQ(R.Items(0)->FieldType, EIBinary);
    EXPECT_EQ(R.Items(1)->ValueNumber, 6);
}

TEST(TSFDSFileExtraInfoList, NamesCollapseWithAsciiCaseIgnored) {
    TSFDSFileExtraInfoList Source;
    Source.AddOrUpdateField(Str("Author", "first"));
    Source.AddOrUpdateField(Number("Other", 1));
    TMemoryStream S;
    Source.SaveToStream(S);
    // Append a second "author" by hand: patch the count and add the field.
    std::string Bytes3 = S.AsString();
    Bytes3[1] = 3;
    TMemoryStream Extra;
    SFDS_WriteString(Extra, "author");
    SFDS_WriteInteger(Extra, EIStr);
    SFDS_WriteString(Extra, "second");
    Bytes3 += Extra.AsString();

    TSFDSFileExtraInfoList L;
    TMemoryStream In(Bytes3);
    L.LoadFromStream(In);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.Items(0)->Name, "author");
    EXPECT_EQ(StrOf(L.Items(0)), "second");
    EXPECT_EQ(L.IndexOfField("AUTHOR"), 0);
    EXPECT_EQ(L.IndexOfField("other"), 1);
    EXPECT_EQ(L.IndexOfField("Autho"), -1);
    // Only ASCII letters fold.
    L.AddOrUpdateField(Number("\xC4", 1));
    EXPECT_EQ(L.IndexOfField("\xE4"), -1);
    EXPECT_EQ(L.IndexOfField("\xC4"), 2);
}

TEST(TSFDSFileExtraInfoList, UpdateReplacesTypeAndValueInPlace) {
    TSFDSFileExtraInfoList L;
    L.AddOrUpdateField(Number("a", 1));
    EXPECT_EQ(L.AddOrUpdateField(Binary("Data", "bytes")), 1);
    EXPECT_EQ(L.AddOrUpdateField(Str("DATA", "text")), 1);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.Items(1)->FieldType, EIStr);
    EXPECT_EQ(L.Items(1)->Name, "DATA");
    EXPECT_EQ(StrOf(L.Items(1)), "text");
    EXPECT_EQ(L.Items(1)->ValueBinary, nullptr);

    // The list keeps its own copy of the caller's bytes.
    std::string Caller = "mutable";
    L.AddOrUpdateField(Str("c", Caller));
    Caller[0] = 'X';
    EXPECT_EQ(StrOf(L.Items(2)), "mutable");
    // A field may be updated from itself.
    EXPECT_EQ(L.AddOrUpdateField(*L.Items(2)), 2);
    EXPECT_EQ(StrOf(L.Items(2)), "mutable");
}

TEST(TSFDSFileExtraInfoList, DeleteClearAssignAndIndexErrors) {
    TSFDSFileExtraInfoList L;
    L.AddOrUpdateField(Str("one", "1"));
    L.AddOrUpdateField(Str("two", "2"));
    L.AddOrUpdateField(Str("three", "3"));
    L.Delete(-1);
    L.Delete(3);
    EXPECT_EQ(L.Count(), 3);
    L.Delete(0);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.IndexOfField("three"), 1);
    EXPECT_EQ(L.IndexOfField("one"), -1);

    try {
        L.Items(5);
        ADD_FAILURE() << "no exception";
    } catch (const EListError& E) {
        EXPECT_STREQ(E.what(), "List index out of bounds (5)");
    }
    EXPECT_THROW(L.Items(-1), EListError);

    TSFDSFileExtraInfoList Copy;
    Copy.AddOrUpdateField(Number("gone", 1));
    Copy.Assign(nullptr);
    EXPECT_EQ(Copy.Count(), 1);
    Copy.Assign(&L);
    ASSERT_EQ(Copy.Count(), 2);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
    EXPECT_EQ(L.IndexOfField("two"), -1);
    EXPECT_EQ(StrOf(Copy.Items(0)), "2");
    EXPECT_EQ(Copy.IndexOfField("THREE"), 1);
    Copy.Assign(&Copy);
    EXPECT_EQ(Copy.Count(), 2);
}

TEST(TSFDSFileExtraInfoList, FailedLoadsKeepWhatWasReadBefore) {
    TSFDSFileExtraInfoList L;
    // Count 3, one complete number field, then a string field cut short.
    ExpectLoadError(L, Bytes({2, 3, 6, 1, 'n', 2, 1, 2, 42, 6, 1, 's', 2, 0, 6, 9, 'a', 'b'}), SReadError);
    ASSERT_EQ(L.Count(), 1);
    EXPECT_EQ(L.Items(0)->ValueNumber, 42);
    // A binary block the stream cannot deliver in full.
    ExpectLoadError(L, Bytes({2, 1, 6, 1, 'b', 2, 4, 0x0A, 2, 9, 'a', 'b'}), SReadError);
    EXPECT_EQ(L.Count(), 0);
    // A wrong tag where the count should be.
    ExpectLoadError(L, Bytes({6, 0}), SInvalidPropertyValue);
}

TEST(TSFDSFileExtraInfoList, UntrustedCountsAndSizes) {
    TSFDSFileExtraInfoList L;
    // Two billion fields over a stream that holds one.
    ExpectLoadError(L, Bytes({4, 0xFF, 0xFF, 0xFF, 0x7F, 6, 1, 'n', 2, 1, 2, 1}), SReadError);
    EXPECT_EQ(L.Count(), 1);
    // A binary block claiming two gigabytes.
    ExpectLoadError(L, Bytes({2, 1, 6, 1, 'b', 2, 4, 0x0A, 4, 0xFF, 0xFF, 0xFF, 0x7F, 'x'}), SReadError);

    struct {
        std::string Input;
        std::int32_t Count;
    } Counts[] = {
        {Bytes({0x13, 0, 0, 0, 0, 1, 0, 0, 0}), 0},  // only the low 32 bits count
        {Bytes({0x13, 0, 0, 0, 0x80, 0, 0, 0, 0}), 0},  // negative in 32 bits
        {Bytes({2, 0xFF}), 0},
        {Bytes({0x13, 1, 0, 0, 0, 1, 0, 0, 0, 6, 1, 'n', 2, 1, 2, 1}), 1},
    };
    for (const auto& C : Counts) {
        TMemoryStream S(C.Input);
        L.LoadFromStream(S);
        EXPECT_EQ(L.Count(), C.Count);
        EXPECT_EQ(S.Position(), S.Size());
    }

    // A negative binary size is an empty block; nothing behind it is consumed.
    TMemoryStream Neg(Bytes({2, 1, 6, 1, 'b', 2, 4, 0x0A, 2, 0xFE, 'z'}));
    L.LoadFromStream(Neg);
    ASSERT_EQ(L.Count(), 1);
    EXPECT_EQ(L.Items(0)->ValueBinarySize, 0);
    EXPECT_EQ(Neg.Position(), 10);
}

TEST(TSFDSFileExtraInfoList, BooleanKeepsTheLowByteOfTheStoredInteger) {
    struct {
        std::string Value;
        bool Expected;
    } Cases[] = {{Bytes({2, 0}), false}, {Bytes({2, 1}), true}, {Bytes({2, 2}), true}, {Bytes({3, 0, 1}), false}};
    for (const auto& C : Cases) {
        TSFDSFileExtraInfoList L;
        TMemoryStream S(Bytes({2, 1, 6, 1, 'f', 2, 3}) + C.Value);
        L.LoadFromStream(S);
        ASSERT_EQ(L.Count(), 1);
        EXPECT_EQ(L.Items(0)->ValueBoolean, C.Expected);
    }
}
