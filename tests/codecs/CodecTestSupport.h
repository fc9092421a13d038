// Data makers and instrumented streams shared by the codec tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "codecs/sfds_zengine.h"
#include "runtime/MemoryStream.h"
#include "support/InflateRoutes.h"
#include "support/Raises.h"
#include "support/TestBytes.h"

// The deflate engine that streams created in this scope take; the one before
// comes back at its end.
class TZEngineScope {
public:
    explicit TZEngineScope(TZEngine Engine) : FSaved(ZDefaultEngine()) { ZSetDefaultEngine(Engine); }
    ~TZEngineScope() { ZSetDefaultEngine(FSaved); }
    TZEngineScope(const TZEngineScope&) = delete;
    TZEngineScope& operator=(const TZEngineScope&) = delete;

private:
    TZEngine FSaved;
};

inline std::string EngineTrace(TZEngine Engine) { return std::string("engine ") + ZEngineName(Engine); }



// Byte strings compared with a short report: sizes and the first difference,
// not megabytes of text.
inline testing::AssertionResult SameBytes(const std::string& Got, const std::string& Expected) {
    if (Got == Expected) return testing::AssertionSuccess();
    std::size_t I = 0;
    while (I < Got.size() && I < Expected.size() && Got[I] == Expected[I]) ++I;
    return testing::AssertionFailure() << "got " << Got.size() << " bytes, expected " << Expected.size()
                                       << ", first difference at " << I;
}

// Text-like bytes: words from a small vocabulary, spaces and line breaks, so
// they compress well but not trivially.
inline std::string TextLikeData(std::size_t Size, std::uint32_t Seed = 1) {
    static const char* const Words[] = {"archive", "stream", "entry", "picture", "viewer", "content", "launcher",
                                        "deflate", "block", "table", "digest", "folder", "player", "name", "QMZ",
                                        "0123", "size", "position", "restart", "skip"};
    std::mt19937 Rng(Seed);
    std::string S;
    S.reserve(Size + 16);
    while (S.size() < Size) {
        S += Words[Rng() % (sizeof(Words) / sizeof(Words[0]))];
        S += (Rng() % 11 == 0) ? '\n' : ' ';
    }
    S.resize(Size);
    return S;
}

inline std::string RandomBytes(std::size_t Size, std::uint32_t Seed = 7) {
    std::mt19937 Rng(Seed);
    std::string S(Size, '\0');
    for (auto& C : S) C = static_cast<char>(Rng() & 0xFF);
    return S;
}

// A memory stream that records how it is used and can be told to deliver
// short reads or to refuse writes.
class TProbeMemoryStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;

    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        ++ReadCalls;
        if (Count > LargestRead) LargestRead = Count;
        if (MaxPiece > 0 && Count > MaxPiece) Count = MaxPiece;
        return TMemoryStream::Read(Buffer, Count);
    }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (WriteLimit >= 0 && Size() + Count > WriteLimit) return 0;
        return TMemoryStream::Write(Buffer, Count);
    }

    int ReadCalls = 0;
    std::int32_t LargestRead = 0;
    std::int32_t MaxPiece = 0;      // > 0: no read delivers more
    std::int64_t WriteLimit = -1;  // >= 0: writes that would grow past it write nothing
};
