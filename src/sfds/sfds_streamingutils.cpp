#include "sfds/sfds_streamingutils.h"

#include <algorithm>
#include <bit>

#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"

namespace {

std::uint64_t ReadLE(TStream& Stream, int Width) {
    std::uint8_t B[8];
    Stream.ReadBuffer(B, Width);
    std::uint64_t V = 0;
    for (int I = Width - 1; I >= 0; --I) V = (V << 8) | B[I];
    return V;
}

// Sign-extends the low Width bytes of V.
std::int64_t SignExtend(std::uint64_t V, int Width) {
    const int Shift = 64 - 8 * Width;
    return static_cast<std::int64_t>(V << Shift) >> Shift;
}

// Tag and payload go out in one write.
void WriteTagged(TStream& Stream, TValueType Tag, std::uint64_t Payload, int Width) {
    std::uint8_t B[9];
    B[0] = Tag;
    for (int I = 0; I < Width; ++I) B[1 + I] = static_cast<std::uint8_t>(Payload >> (8 * I));
    Stream.WriteBuffer(B, 1 + Width);
}

[[noreturn]] void InvalidValue() { throw EReadError(SInvalidPropertyValue); }

// Width of the integer payload a tag announces; 0 when the tag is no integer.
int IntegerWidth(std::uint8_t Tag, bool Allow64) {
    switch (Tag) {
        case vaInt8: return 1;
        case vaInt16: return 2;
        case vaInt32: return 4;
        case vaInt64: return Allow64 ? 8 : 0;
        default: return 0;
    }
}

void WriteLengthAndBytes(TStream& Stream, TValueType Tag, std::string_view Bytes) {
    CheckInt32Range(static_cast<long long>(Bytes.size()));
    WriteTagged(Stream, Tag, static_cast<std::uint32_t>(Bytes.size()), 4);
    if (!Bytes.empty()) Stream.WriteBuffer(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

}  // namespace

void SFDS_WriteByte(TStream& Stream, std::uint8_t Value) { Stream.WriteBuffer(&Value, 1); }

std::uint8_t SFDS_ReadByte(TStream& Stream) {
    std::uint8_t B;
    Stream.ReadBuffer(&B, 1);
    return B;
}

void SFDS_WriteInteger(TStream& Stream, std::int32_t Value) {
    const auto Bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(Value));
    if (Value >= -128 && Value <= 127) WriteTagged(Stream, vaInt8, Bits, 1);
    else if (Value >= -32768 && Value <= 32767) WriteTagged(Stream, vaInt16, Bits, 2);
    else WriteTagged(Stream, vaInt32, Bits, 4);
}

std::int32_t SFDS_ReadInteger(TStream& Stream) {
    const int Width = IntegerWidth(SFDS_ReadByte(Stream), false);
    if (Width == 0) InvalidValue();
    return static_cast<std::int32_t>(SignExtend(ReadLE(Stream, Width), Width));
}

void SFDS_WriteInt64(TStream& Stream, std::int64_t Value) {
    if (Value < INT32_MIN || Value > INT32_MAX) WriteTagged(Stream, vaInt64, static_cast<std::uint64_t>(Value), 8);
    else SFDS_WriteInteger(Stream, static_cast<std::int32_t>(Value));
}

std::int64_t SFDS_ReadInt64(TStream& Stream) {
    const int Width = IntegerWidth(SFDS_ReadByte(Stream), true);
    if (Width == 0) InvalidValue();
    return SignExtend(ReadLE(Stream, Width), Width);
}

void SFDS_WriteString(TStream& Stream, std::string_view S) {
    const std::string U = AnsiToUTF8(S);
    if (U != S) {
        WriteLengthAndBytes(Stream, vaUTF8String, U);
    } else if (S.size() <= 255) {
        WriteTagged(Stream, vaString, S.size(), 1);
        if (!S.empty()) Stream.WriteBuffer(S.data(), static_cast<std::int32_t>(S.size()));
    } else {
        WriteLengthAndBytes(Stream, vaLString, S);
    }
}

std::string SFDS_ReadString(TStream& Stream) {
    const std::uint8_t Tag = SFDS_ReadByte(Stream);
    switch (Tag) {
        case vaString:
            return SFDS_ReadBytes(Stream, SFDS_ReadByte(Stream));
        case vaLString:
        case vaUTF8String:
        case vaWString: {
            const auto Length = static_cast<std::int32_t>(ReadLE(Stream, 4));
            if (Length <= 0) return {};
            if (Tag == vaLString) return SFDS_ReadBytes(Stream, Length);
            if (Tag == vaUTF8String) return UTF8ToAnsi(SFDS_ReadBytes(Stream, Length));
            const std::string Bytes = SFDS_ReadBytes(Stream, 2 * static_cast<std::int64_t>(Length));
            std::u16string W(static_cast<std::size_t>(Length), u'\0');
            for (std::size_t I = 0; I < W.size(); ++I)
                W[I] = static_cast<char16_t>(static_cast<std::uint8_t>(Bytes[2 * I]) |
                                             (static_cast<std::uint8_t>(Bytes[2 * I + 1]) << 8));
            return UnicodeToAnsi(W);
        }
        default:
            InvalidValue();
    }
}

void SFDS_WriteBinary(TStream& Stream, const void* Buffer, std::int32_t Count) {
    if (Count < 0) throw ERangeError(SRangeError);
    SFDS_WriteByte(Stream, vaBinary);
    SFDS_WriteInteger(Stream, Count);
    if (Count > 0) Stream.WriteBuffer(Buffer, Count);
}

std::int32_t SFDS_ReadBinarySize(TStream& Stream) {
    if (SFDS_ReadByte(Stream) != vaBinary) InvalidValue();
    return SFDS_ReadInteger(Stream);
}

void SFDS_WriteDate(TStream& Stream, TDateTime Value) {
    WriteTagged(Stream, vaDate, std::bit_cast<std::uint64_t>(Value), 8);
}

TDateTime SFDS_ReadDate(TStream& Stream) {
    if (SFDS_ReadByte(Stream) != vaDate) InvalidValue();
    return std::bit_cast<TDateTime>(ReadLE(Stream, 8));
}

std::string SFDS_ReadBytes(TStream& Stream, std::int64_t Count) {
    // Start small and let each request grow with what has already arrived, so
    // memory stays within twice the bytes the stream really delivered.
    constexpr std::int64_t FirstChunk = 64 * 1024;
    constexpr std::int64_t MaxChunk = 16 * 1024 * 1024;
    std::string Result;
    std::int64_t Left = Count;
    while (Left > 0) {
        const std::int64_t Grow = std::clamp<std::int64_t>(static_cast<std::int64_t>(Result.size()), FirstChunk, MaxChunk);
        const auto N = static_cast<std::int32_t>(std::min(Left, Grow));
        const std::size_t Old = Result.size();
        Result.resize(Old + static_cast<std::size_t>(N));
        Stream.ReadBuffer(Result.data() + Old, N);
        Left -= N;
    }
    return Result;
}
