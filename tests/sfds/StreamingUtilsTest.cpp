#include "sfds/sfds_streamingutils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "support/CodePageScope.h"
#include "ProbeStream.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"
#include "runtime/RtlConsts.h"
#include "support/TestBytes.h"

namespace {

std::string Written(const std::function<void(TStream&)>& Write) {
    TMemoryStream S;
    Write(S);
    return S.AsString();
}

// Runs Read on Input and expects it to raise EReadError with Message, leaving
// the stream at Position.
template <typename Fn>
void ExpectReadError(const std::string& Input, Fn Read, const char* Message, std::int64_t Position) {
    TMemoryStream S(Input);
    try {
        Read(S);
        ADD_FAILURE() << "no exception";
    } catch (const EReadError& E) {
        EXPECT_STREQ(E.what(), Message);
    }
    EXPECT_EQ(S.Position(), Position);
}

const std::string Hangul949 = "\xC7\xD1\xB1\xDB";  // two Hangul syllables in CP949
const std::string HangulUTF8 = "\xED\x95\x9C\xEA\xB8\x80";

}  // namespace

TEST(TaggedValues, ExactEncodings) {
    const std::string X255(255, 'x'), X256(256, 'x');
    const std::string Bin300(300, '\x5A');
    struct {
        const char* What;
        std::function<void(TStream&)> Write;
        std::string Expected;
    } Cases[] = {
        {"byte", [](TStream& S) { SFDS_WriteByte(S, 0xAB); }, Bytes({0xAB})},
        {"int 0", [](TStream& S) { SFDS_WriteInteger(S, 0); }, Bytes({2, 0})},
        {"int -1", [](TStream& S) { SFDS_WriteInteger(S, -1); }, Bytes({2, 0xFF})},
        {"int 127", [](TStream& S) { SFDS_WriteInteger(S, 127); }, Bytes({2, 0x7F})},
        {"int -128", [](TStream& S) { SFDS_WriteInteger(S, -128); }, Bytes({2, 0x80})},
        {"int 128", [](TStream& S) { SFDS_WriteInteger(S, 128); }, Bytes({3, 0x80, 0})},
        {"int 200", [](TStream& S) { SFDS_WriteInteger(S, 200); }, Bytes({3, 0xC8, 0})},
        {"int -129", [](TStream& S) { SFDS_WriteInteger(S, -129); }, Bytes({3, 0x7F, 0xFF})},
        {"int 32767", [](TStream& S) { SFDS_WriteInteger(S, 32767); }, Bytes({3, 0xFF, 0x7F})},
        {"int -32768", [](TStream& S) { SFDS_WriteInteger(S, -32768); }, Bytes({3, 0, 0x80})},
        {"int 32768", [](TStream& S) { SFDS_WriteInteger(S, 32768); }, Bytes({4, 0, 0x80, 0, 0})},
        {"int -32769", [](TStream& S) { SFDS_WriteInteger(S, -32769); }, Bytes({4, 0xFF, 0x7F, 0xFF, 0xFF})},
        {"int min", [](TStream& S) { SFDS_WriteInteger(S, INT32_MIN); }, Bytes({4, 0, 0, 0, 0x80})},
        {"int64 5", [](TStream& S) { SFDS_WriteInt64(S, 5); }, Bytes({2, 5})},
        {"int64 int32 max", [](TStream& S) { SFDS_WriteInt64(S, INT32_MAX); }, Bytes({4, 0xFF, 0xFF, 0xFF, 0x7F})},
        {"int64 2^31", [](TStream& S) { SFDS_WriteInt64(S, 2147483648LL); },
         Bytes({0x13, 0, 0, 0, 0x80, 0, 0, 0, 0})},
        {"int64 -2^31-1", [](TStream& S) { SFDS_WriteInt64(S, -2147483649LL); },
         Bytes({0x13, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"empty string", [](TStream& S) { SFDS_WriteString(S, ""); }, Bytes({6, 0})},
        {"abc", [](TStream& S) { SFDS_WriteString(S, "abc"); }, Bytes({6, 3, 'a', 'b', 'c'})},
        {"255 bytes", [&](TStream& S) { SFDS_WriteString(S, X255); }, Bytes({6, 0xFF}) + X255},
        {"256 bytes", [&](TStream& S) { SFDS_WriteString(S, X256); }, Bytes({0x0C, 0, 1, 0, 0}) + X256},
        {"date 1.5", [](TStream& S) { SFDS_WriteDate(S, 1.5); }, Bytes({0x11, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F})},
        {"binary 3", [](TStream& S) { SFDS_WriteBinary(S, "\x01\x02\x03", 3); }, Bytes({0x0A, 2, 3, 1, 2, 3})},
        {"binary 0", [](TStream& S) { SFDS_WriteBinary(S, nullptr, 0); }, Bytes({0x0A, 2, 0})},
        {"binary 300", [&](TStream& S) { SFDS_WriteBinary(S, Bin300.data(), 300); },
         Bytes({0x0A, 3, 0x2C, 1}) + Bin300},
    };
    for (const auto& C : Cases) EXPECT_EQ(Written(C.Write), C.Expected) << C.What;
}

TEST(TaggedValues, IntegerReadsAcceptTheirTagsAndSignExtend) {
    struct {
        std::string Input;
        std::int64_t Value;
        bool Int32Accepts;
    } Cases[] = {
        {Bytes({2, 0xFF}), -1, true},
        {Bytes({2, 0x7F}), 127, true},
        {Bytes({3, 0xC8, 0}), 200, true},
        {Bytes({3, 0x00, 0x80}), -32768, true},
        {Bytes({4, 0, 0x80, 0, 0}), 32768, true},
        {Bytes({4, 0xFF, 0xFF, 0xFF, 0xFF}), -1, true},
        {Bytes({0x13, 0, 0, 0, 0x80, 0, 0, 0, 0}), 2147483648LL, false},
        {Bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), -1, false},
        {Bytes({0x13, 0, 0, 0, 0, 0, 0, 0, 0x80}), INT64_MIN, false},
    };
    for (const auto& C : Cases) {
        TMemoryStream S64(C.Input);
        EXPECT_EQ(SFDS_ReadInt64(S64), C.Value);
        EXPECT_EQ(S64.Position(), static_cast<std::int64_t>(C.Input.size()));
        if (C.Int32Accepts) {
            TMemoryStream S32(C.Input);
            EXPECT_EQ(SFDS_ReadInteger(S32), C.Value);
        } else {
            // The tag is consumed, nothing behind it.
            ExpectReadError(C.Input, SFDS_ReadInteger, SInvalidPropertyValue, 1);
        }
    }
}

TEST(TaggedValues, WrongTagsAndShortStreams) {
    const auto ReadString = [](TStream& S) { SFDS_ReadString(S); };
    const auto ReadDate = [](TStream& S) { SFDS_ReadDate(S); };
    const auto ReadBinarySize = [](TStream& S) { SFDS_ReadBinarySize(S); };
    const auto ReadByte = [](TStream& S) { SFDS_ReadByte(S); };
    ExpectReadError(Bytes({5, 1, 2, 3, 4}), SFDS_ReadInteger, SInvalidPropertyValue, 1);
    ExpectReadError(Bytes({6, 0}), SFDS_ReadInt64, SInvalidPropertyValue, 1);
    ExpectReadError(Bytes({2, 0}), ReadString, SInvalidPropertyValue, 1);
    ExpectReadError(Bytes({2, 0}), ReadDate, SInvalidPropertyValue, 1);
    ExpectReadError(Bytes({6, 0}), ReadBinarySize, SInvalidPropertyValue, 1);
    ExpectReadError(Bytes({0x0A, 0x13, 0, 0, 0, 0, 0, 0, 0, 0}), ReadBinarySize, SInvalidPropertyValue, 2);
    // What arrived stays consumed.
    ExpectReadError("", SFDS_ReadInteger, SReadError, 0);
    ExpectReadError("", ReadByte, SReadError, 0);
    ExpectReadError(Bytes({4, 1, 2}), SFDS_ReadInteger, SReadError, 3);
    ExpectReadError(Bytes({0x13, 1, 2, 3, 4, 5}), SFDS_ReadInt64, SReadError, 6);
    ExpectReadError(Bytes({0x11, 0, 0}), ReadDate, SReadError, 3);
    ExpectReadError(Bytes({6, 5, 'a', 'b'}), ReadString, SReadError, 4);
    ExpectReadError(Bytes({0x0C, 1, 0}), ReadString, SReadError, 3);
}

TEST(TaggedValues, RoundTrips) {
    TMemoryStream S;
    const std::int32_t Ints[] = {0, 1, -1, 127, -128, 128, -129, 32767, -32768, 32768, -32769, INT32_MAX, INT32_MIN};
    const std::int64_t Int64s[] = {0, -1, INT32_MAX, INT32_MIN, 2147483648LL, -2147483649LL, INT64_MAX, INT64_MIN};
    const TDateTime Dates[] = {0.0, -693593.75, 45000.123456789, std::numeric_limits<double>::infinity()};
    const std::string Strings[] = {"", "a", std::string(255, 'b'), std::string(256, 'c'), std::string(200000, 'd')};
    const std::string Blob = Bytes({0, 1, 2, 0xFF, 0x80});
    for (std::int32_t V : Ints) SFDS_WriteInteger(S, V);
    for (std::int32_t V : Ints) SFDS_WriteInt64(S, V);  // ReadInt64 also reads what WriteInteger wrote
    for (std::int64_t V : Int64s) SFDS_WriteInt64(S, V);
    for (TDateTime V : Dates) SFDS_WriteDate(S, V);
    for (const std::string& V : Strings) SFDS_WriteString(S, V);
    SFDS_WriteBinary(S, Blob.data(), static_cast<std::int32_t>(Blob.size()));
    SFDS_WriteByte(S, 0x99);

    S.SetPosition(0);
    for (std::int32_t V : Ints) EXPECT_EQ(SFDS_ReadInteger(S), V);
    for (std::int32_t V : Ints) EXPECT_EQ(SFDS_ReadInt64(S), V);
    for (std::int64_t V : Int64s) EXPECT_EQ(SFDS_ReadInt64(S), V);
    for (TDateTime V : Dates) EXPECT_EQ(SFDS_ReadDate(S), V);
    for (const std::string& V : Strings) EXPECT_EQ(SFDS_ReadString(S), V);
    const std::int32_t N = SFDS_ReadBinarySize(S);
    ASSERT_EQ(N, static_cast<std::int32_t>(Blob.size()));
    EXPECT_EQ(SFDS_ReadBytes(S, N), Blob);
    EXPECT_EQ(SFDS_ReadByte(S), 0x99);
    EXPECT_EQ(S.Position(), S.Size());
}

TEST(TaggedValues, NegativeStringLengthsReadAsEmptyAndConsumeNothingBehind) {
    for (int Tag : {0x0C, 0x12, 0x14}) {
        TMemoryStream S(Bytes({Tag, 0xFF, 0xFF, 0xFF, 0xFF, 'A'}));
        EXPECT_EQ(SFDS_ReadString(S), "") << Tag;
        EXPECT_EQ(S.Position(), 5) << Tag;
    }
}

TEST(TaggedValues, HugeStatedLengthsReadWhatIsThereWithoutReservingTheClaim) {
    for (int Tag : {0x0C, 0x12, 0x14}) {
        TProbeStream S(Bytes({Tag, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'}));
        try {
            SFDS_ReadString(S);
            ADD_FAILURE() << "no exception for tag " << Tag;
        } catch (const EReadError& E) {
            EXPECT_STREQ(E.what(), SReadError);
        }
        EXPECT_EQ(S.Position(), 8) << "what was there is consumed";
        EXPECT_LE(S.LargestRequest, 64 * 1024) << "the stated length sized a request";
    }
    TProbeStream S(std::string(300000, 'x'));
    EXPECT_EQ(SFDS_ReadBytes(S, 300000), std::string(300000, 'x'));
    EXPECT_THROW(SFDS_ReadBytes(S, 1), EReadError);
    EXPECT_EQ(SFDS_ReadBytes(S, 0), "");
    EXPECT_EQ(SFDS_ReadBytes(S, -5), "");
}

TEST(TaggedValues, StringsInCP949) {
    TCodePageScope CP("CP949");
    ASSERT_TRUE(CP.Ok());
    // Text that differs in UTF-8 goes out as UTF-8 and comes back in the code page.
    const std::string Mixed = "img\\" + Hangul949 + ".jpg";
    const std::string MixedUTF8 = "img\\" + HangulUTF8 + ".jpg";
    const std::string Out = Written([&](TStream& S) { SFDS_WriteString(S, Mixed); });
    EXPECT_EQ(Out, Bytes({0x14, static_cast<int>(MixedUTF8.size()), 0, 0, 0}) + MixedUTF8);
    TMemoryStream In(Out);
    EXPECT_EQ(SFDS_ReadString(In), Mixed);
    // ASCII stays in the short form.
    EXPECT_EQ(Written([](TStream& S) { SFDS_WriteString(S, "a.jpg"); }), Bytes({6, 5}) + "a.jpg");

    struct {
        std::string Input;
        std::string Expected;
    } Reads[] = {
        {Bytes({6, 4}) + Hangul949, Hangul949},  // 8-bit text is taken as it is
        {Bytes({0x0C, 4, 0, 0, 0}) + Hangul949, Hangul949},
        {Bytes({0x14, 6, 0, 0, 0}) + HangulUTF8, Hangul949},
        {Bytes({0x12, 3, 0, 0, 0, 0x5C, 0xD5, 0x00, 0xAE, 'A', 0}), Hangul949 + "A"},
        // A Thai letter has no place in CP949.
        {Bytes({0x14, 5, 0, 0, 0, 'a', 0xE0, 0xB8, 0x81, 'z'}), "a?z"},
        {Bytes({0x12, 1, 0, 0, 0, 0x01, 0x0E}), "?"},
    };
    for (const auto& R : Reads) {
        TMemoryStream S(R.Input);
        EXPECT_EQ(SFDS_ReadString(S), R.Expected);
        EXPECT_EQ(S.Position(), S.Size());
    }
}

TEST(TaggedValues, StringsInUTF8) {
    TCodePageScope CP("UTF-8");
    ASSERT_TRUE(CP.Ok());
    // The code page is UTF-8 already, so the text goes out in the 8-bit forms.
    EXPECT_EQ(Written([](TStream& S) { SFDS_WriteString(S, HangulUTF8); }), Bytes({6, 6}) + HangulUTF8);
    const std::string Long = std::string(300, 'a') + HangulUTF8;
    EXPECT_EQ(Written([&](TStream& S) { SFDS_WriteString(S, Long); }),
              Bytes({0x0C, static_cast<int>(Long.size() & 0xFF), static_cast<int>(Long.size() >> 8), 0, 0}) + Long);
    TMemoryStream W(Bytes({0x12, 2, 0, 0, 0, 0x5C, 0xD5, 0x00, 0xAE}));
    EXPECT_EQ(SFDS_ReadString(W), HangulUTF8);
    TMemoryStream U(Bytes({0x14, 6, 0, 0, 0}) + HangulUTF8);
    EXPECT_EQ(SFDS_ReadString(U), HangulUTF8);
}

TEST(TaggedValues, RefusedWritesRaiseWriteError) {
    const std::function<void(TStream&)> Writes[] = {
        [](TStream& S) { SFDS_WriteInteger(S, 70000); },
        [](TStream& S) { SFDS_WriteInt64(S, INT64_MAX); },
        [](TStream& S) { SFDS_WriteString(S, "abcdef"); },
        [](TStream& S) { SFDS_WriteBinary(S, "abcdef", 6); },
        [](TStream& S) { SFDS_WriteDate(S, 2.0); },
    };
    for (const auto& Write : Writes) {
        TProbeStream S;
        S.WriteLimit = 3;
        EXPECT_THROW(Write(S), EWriteError);
    }
    TProbeStream Full;
    Full.WriteLimit = 0;
    EXPECT_THROW(SFDS_WriteByte(Full, 1), EWriteError);
}
