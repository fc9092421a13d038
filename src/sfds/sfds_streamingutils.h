// Single values on a stream in the tagged encoding of the container: one tag
// byte that says what follows, then the value, little-endian. Every
// variable-length item of a container (names, texts, sizes, positions, extra
// fields) is stored this way.
//
// Reads of a tag or payload are read-exactly (EReadError "Stream read error"
// when the stream ends first), writes are write-exactly. A tag a reader does
// not accept raises EReadError "Invalid property value" with the tag consumed.
// Nothing rolls the stream back after a failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

enum TValueType : std::uint8_t {
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaString = 6,  // 1-byte length, 8-bit text
    vaBinary = 10,  // tagged integer count, then the bytes
    vaLString = 12,  // 4-byte length, 8-bit text
    vaDate = 17,
    vaWString = 18,  // 4-byte count of UTF-16 code units, UTF-16LE text
    vaInt64 = 19,
    vaUTF8String = 20,  // 4-byte byte length, UTF-8 text
};

// Raw byte, no tag.
void SFDS_WriteByte(TStream& Stream, std::uint8_t Value);
std::uint8_t SFDS_ReadByte(TStream& Stream);

// Smallest of vaInt8, vaInt16, vaInt32 that holds Value.
void SFDS_WriteInteger(TStream& Stream, std::int32_t Value);
// Accepts vaInt8, vaInt16 and vaInt32, sign-extended.
std::int32_t SFDS_ReadInteger(TStream& Stream);

// vaInt64 only outside the 32-bit range, otherwise as SFDS_WriteInteger.
void SFDS_WriteInt64(TStream& Stream, std::int64_t Value);
// Accepts vaInt8, vaInt16, vaInt32 and vaInt64, sign-extended.
std::int64_t SFDS_ReadInt64(TStream& Stream);

// S is in the process code page. Text that is the same in UTF-8 (7-bit ASCII,
// or any text when the code page is UTF-8) goes out as vaString (up to 255
// bytes) or vaLString; other text as vaUTF8String.
void SFDS_WriteString(TStream& Stream, std::string_view S);
// Accepts vaString, vaLString, vaUTF8String and vaWString; converts to the
// process code page, unrepresentable characters becoming '?'. A negative
// length reads as the empty string with nothing behind it consumed.
std::string SFDS_ReadString(TStream& Stream);

// vaBinary, Count as SFDS_WriteInteger, then the bytes.
void SFDS_WriteBinary(TStream& Stream, const void* Buffer, std::int32_t Count);
// Reads the vaBinary tag and the count; the caller reads the bytes.
std::int32_t SFDS_ReadBinarySize(TStream& Stream);

void SFDS_WriteDate(TStream& Stream, TDateTime Value);
// Accepts vaDate only.
TDateTime SFDS_ReadDate(TStream& Stream);

// Reads until Count bytes have arrived or the stream ends, and returns how
// many arrived: a short stream is no error here.
std::int32_t SFDS_ReadAvailable(TStream& Stream, void* Buffer, std::int32_t Count);

// Reads exactly Count bytes. Count is not trusted: the buffer grows only as
// bytes actually arrive, so a hostile length cannot reserve memory the stream
// does not hold; a stream that ends first raises "Stream read error" with what
// arrived consumed.
std::string SFDS_ReadBytes(TStream& Stream, std::int64_t Count);
