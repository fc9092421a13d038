// A stream over a growable block of memory, for tests, tools and small tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Stream.h"

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view Bytes);

    std::int64_t GetSize() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t NewSize) override;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    void Clear();
    unsigned char* Memory() { return FData.data(); }
    const std::vector<unsigned char>& Bytes() const { return FData; }
    std::string AsString() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<unsigned char> FData;
    std::int64_t FPosition = 0;
};
