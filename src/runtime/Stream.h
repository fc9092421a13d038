// The abstract seekable byte stream every stream class of the system derives from.
//
// Positions, sizes and offsets are 64-bit throughout; byte counts of one Read or
// Write call are signed 32-bit, as callers move data in bounded buffers.
#pragma once

#include <cstdint>

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Saves the position, seeks to the end to learn the size and seeks back:
    // streams that cannot seek cheaply pay for Size.
    virtual std::int64_t GetSize();
    // Does nothing unless a stream class gives it a meaning.
    virtual void SetSize(std::int64_t NewSize);
    // Returns the number of bytes read; 0 at the end.
    virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
    // Returns the number of bytes written.
    virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
    // Returns the new position.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t Size() { return GetSize(); }
    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, soBeginning); }

    // Read-exactly: raises EReadError "Stream read error" when a Read returns
    // 0 or less before Count bytes have arrived. What arrived stays consumed.
    void ReadBuffer(void* Buffer, std::int32_t Count);
    // Write-exactly: raises EWriteError "Stream write error" likewise.
    void WriteBuffer(const void* Buffer, std::int32_t Count);

    // Copies Count bytes from Source's position (Count 0: the whole of Source
    // from its start) through one bounded buffer; returns the bytes copied.
    std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};
