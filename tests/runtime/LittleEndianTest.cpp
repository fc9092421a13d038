#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/LittleEndian.h"

namespace {

// Each value at an odd offset, so that no load or store may assume alignment.
template <class T>
void ExpectBothWays(T Value, const std::string& Bytes) {
    unsigned char Buffer[1 + sizeof(T)] = {};
    StoreLE(Buffer + 1, Value);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Buffer + 1), sizeof(T)), Bytes) << +Value;
    EXPECT_EQ(LoadLE<T>(Bytes.data()), Value) << +Value;
}

}  // namespace

TEST(LittleEndian, LeastSignificantByteComesFirstAndSignedTypesExtendTheirSign) {
    ExpectBothWays<std::uint8_t>(0xF0, "\xF0");
    ExpectBothWays<std::int8_t>(-2, "\xFE");
    ExpectBothWays<std::uint16_t>(0x1234, "\x34\x12");
    ExpectBothWays<std::int16_t>(-32768, std::string("\x00\x80", 2));
    ExpectBothWays<std::uint32_t>(0x06B10903, "\x03\x09\xB1\x06");
    ExpectBothWays<std::int32_t>(-1, "\xFF\xFF\xFF\xFF");
    ExpectBothWays<std::int64_t>(-5, "\xFB\xFF\xFF\xFF\xFF\xFF\xFF\xFF");
    ExpectBothWays<std::uint64_t>(0x0102030405060708ull, "\x08\x07\x06\x05\x04\x03\x02\x01");
    // A narrow signed load widens with its sign.
    EXPECT_EQ(std::int64_t{LoadLE<std::int16_t>("\xFF\xFF")}, -1);
}

TEST(LittleEndian, DoublesTravelAsTheirBitPattern) {
    unsigned char Buffer[8];
    StoreDoubleLE(Buffer, 1.0);  // 0x3FF0000000000000
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Buffer), 8), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
    EXPECT_EQ(LoadDoubleLE(Buffer), 1.0);
    StoreDoubleLE(Buffer, 45000.25);
    EXPECT_EQ(LoadDoubleLE(Buffer), 45000.25);
}
