#include "sfds/sfds_streamingutils.h"

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstdint>

#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/LittleEndian.h"
#include "runtime/RtlConsts.h"

namespace {

// A payload of fixed width, read exactly; signed types come sign-extended.
template <std::integral T>
T ReadLE(TStream& Stream) {
    std::uint8_t B[sizeof(T)];
    Stream.ReadBuffer(B, sizeof B);
    return LoadLE<T>(B);
}

// Tag and payload go out in one write.
template <std::integral T>
void WriteTagged(TStream& Stream, TValueType Tag, T Payload) {
    std::uint8_t B[1 + sizeof(T)];
    B[0] = Tag;
    StoreLE(B + 1, Payload);
    Stream.WriteBuffer(B, sizeof B);
}

[[noreturn]] void InvalidValue() { throw EReadError(SInvalidPropertyValue); }

// A tagged integer of any width the tag announces; vaInt64 only with Allow64.
std::int64_t ReadTaggedInteger(TStream& Stream, bool Allow64) {
    switch (SFDS_ReadByte(Stream)) {
        case vaInt8: return ReadLE<std::int8_t>(Stream);
        case vaInt16: return ReadLE<std::int16_t>(Stream);
        case vaInt32: return ReadLE<std::int32_t>(Stream);
        case vaInt64:
            if (Allow64) return ReadLE<std::int64_t>(Stream);
            break;
        default: break;
    }
    InvalidValue();
}

void WriteLengthAndBytes(TStream& Stream, TValueType Tag, std::string_view Bytes) {
    CheckInt32Range(static_cast<long long>(Bytes.size()));
    WriteTagged(Stream, Tag, static_cast<std::int32_t>(Bytes.size()));
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
    if (Value >= INT8_MIN && Value <= INT8_MAX) WriteTagged(Stream, vaInt8, static_cast<std::int8_t>(Value));
    else if (Value >= INT16_MIN && Value <= INT16_MAX) WriteTagged(Stream, vaInt16, static_cast<std::int16_t>(Value));
    else WriteTagged(Stream, vaInt32, Value);
}

std::int32_t SFDS_ReadInteger(TStream& Stream) { return static_cast<std::int32_t>(ReadTaggedInteger(Stream, false)); }

void SFDS_WriteInt64(TStream& Stream, std::int64_t Value) {
    if (Value < INT32_MIN || Value > INT32_MAX) WriteTagged(Stream, vaInt64, Value);
    else SFDS_WriteInteger(Stream, static_cast<std::int32_t>(Value));
}

std::int64_t SFDS_ReadInt64(TStream& Stream) { return ReadTaggedInteger(Stream, true); }

void SFDS_WriteString(TStream& Stream, std::string_view S) {
    const std::string U = AnsiToUTF8(S);
    if (U != S) {
        WriteLengthAndBytes(Stream, vaUTF8String, U);
    } else if (S.size() <= 255) {
        WriteTagged(Stream, vaString, static_cast<std::uint8_t>(S.size()));
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
            const auto Length = ReadLE<std::int32_t>(Stream);
            if (Length <= 0) return {};
            if (Tag == vaLString) return SFDS_ReadBytes(Stream, Length);
            if (Tag == vaUTF8String) return UTF8ToAnsi(SFDS_ReadBytes(Stream, Length));
            const std::string Bytes = SFDS_ReadBytes(Stream, 2 * static_cast<std::int64_t>(Length));
            std::u16string W(static_cast<std::size_t>(Length), u'\0');
            for (std::size_t I = 0; I < W.size(); ++I) W[I] = static_cast<char16_t>(LoadLE<std::uint16_t>(&Bytes[2 * I]));
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
    WriteTagged(Stream, vaDate, std::bit_cast<std::uint64_t>(Value));
}

TDateTime SFDS_ReadDate(TStream& Stream) {
    if (SFDS_ReadByte(Stream) != vaDate) InvalidValue();
    return std::bit_cast<TDateTime>(ReadLE<std::uint64_t>(Stream));
}

std::int32_t SFDS_ReadAvailable(TStream& Stream, void* Buffer, std::int32_t Count) {
    auto* Out = static_cast<std::uint8_t*>(Buffer);
    std::int32_t Done = 0;
    while (Done < Count) {
        const std::int32_t N = Stream.Read(Out + Done, Count - Done);
        if (N <= 0) break;
        Done += N;
    }
    return Done;
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
