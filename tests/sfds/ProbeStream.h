// A memory stream that records how it is used and can misbehave on request:
// short reads, failing reads, refused writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"

class TProbeStream : public TStream {
public:
    explicit TProbeStream(std::string_view Bytes = {}) : FMem(Bytes) {}

    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        ++ReadCalls;
        LargestRequest = std::max(LargestRequest, Count);
        if (ReadCalls == FailingRead) throw EReadError("probe read failure");
        std::int32_t N = Count;
        if (ReadCalls == ShortRead) N = std::min(N, ShortReadSize);
        return FMem.Read(Buffer, std::min(N, MaxReadSize));
    }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        ++WriteCalls;
        if (WriteCalls == RefusedWrite || (RefuseLaterWrites && RefusedWrite > 0 && WriteCalls > RefusedWrite)) return 0;
        const std::int64_t Room = std::max<std::int64_t>(0, WriteLimit - FMem.Size());
        return FMem.Write(Buffer, static_cast<std::int32_t>(std::min<std::int64_t>(Count, Room)));
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        if (!(Offset == 0 && Origin == soCurrent)) ++Seeks;
        return FMem.Seek(Offset, Origin);
    }
    std::int64_t GetSize() override { return FMem.Size(); }

    std::string Bytes() const { return FMem.AsString(); }

    int ReadCalls = 0;
    int Seeks = 0;  // position queries are not counted
    std::int32_t LargestRequest = 0;
    std::int32_t MaxReadSize = INT32_MAX;  // every read returns at most this
    int ShortRead = 0;  // this read (1-based) returns at most ShortReadSize bytes
    std::int32_t ShortReadSize = 0;
    int FailingRead = 0;  // this read (1-based) raises
    std::int64_t WriteLimit = INT64_MAX;  // writes stop being accepted here
    int WriteCalls = 0;
    int RefusedWrite = 0;  // this write (1-based) is refused, as a full disk refuses it
    bool RefuseLaterWrites = false;  // and so is every write after it

private:
    TMemoryStream FMem;
};
