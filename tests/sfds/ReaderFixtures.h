// Containers for the reader, parser and archive-path tests, built with the
// library's writer at test time, and the checks those tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_workers.h"
#include "sfds/sfds_writer.h"
#include "support/Raises.h"
#include "support/SFDSTestWriter.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"
#include "support/TestPlatform.h"

using TWriterSetup = std::function<void(TSFDSTestWriter&)>;

inline TMD5Digest DigestOf(std::string_view Bytes) {
    TMD5Digest D;
    MD5OfBuffer(Bytes.data(), Bytes.size(), D);
    return D;
}

// The container as bytes: Setup adds entries and adjusts, Finish completes it.
// With Host, the container starts at Host's end.
inline std::string BuildContainer(const TWriterSetup& Setup, const std::string& Host = std::string()) {
    TMemoryStream M(Host);
    M.Seek(0, soEnd);
    TSFDSTestWriter W(M);
    if (Setup) Setup(W);
    W.Finish();
    return M.AsString();
}

// Three small entries: stored, zlib and bzip2.
inline const std::string& SampleA() {
    static const std::string S = PatternBytes(3000, 11);
    return S;
}
inline const std::string& SampleB() {
    static const std::string S = PatternBytes(70000, 12);
    return S;
}
inline const std::string& SampleC() {
    static const std::string S = PatternBytes(100, 13);
    return S;
}
inline void AddSamples(TSFDSFileWriter& W) {
    W.AddBytes("stored.bin", SampleA(), 0);
    W.AddBytes("img\\zlib.jpg", SampleB(), 1);
    W.AddBytes("bz2.jpg", SampleC(), 2);
}

// An entry of compression format 9, which no codec registers; its stored
// bytes lie inside the header.
inline void AddUnknownFormatEntry(TSFDSFileWriter& W, const std::string& Name) {
    SFDS_FileEntryRecord E;
    E.FileName = E.OriginalFileName = Name;
    E.StartPosition = SFDS_HeaderSize;
    E.EndPosition = SFDS_HeaderSize + 10;
    E.FileSize = 10;
    E.CompressionFormat = 9;
    W.AddEntryRecord(E);
}

// A failure an extraction reported, as its class and message ("-": none),
// for comparing what two ways of extracting reported.
inline std::string DescribeFailure(const std::exception_ptr& Failure) {
    if (!Failure) return "-";
    try {
        std::rethrow_exception(Failure);
    } catch (const Exception& E) {
        return std::string(typeid(E).name()) + " " + E.Message();
    } catch (const std::exception& E) {
        return std::string(typeid(E).name()) + " " + E.what();
    }
}

// Open file descriptors (handles on Windows) of this process, counted with
// no kept worker waiting: what a count shows then does not depend on when a
// worker's wait for its next job runs out.
inline int OpenDescriptorCount() {
    SFDS_SettleWorkers();
    return OpenHandleCount();
}

// Leaves the library's readers as it found them: readers a test opened on
// demand (which the library keeps) are freed when the test ends, and every
// other reader the test made must be gone by then.
class TReaderListGuard {
public:
    TReaderListGuard() : FCount(SFDS_ActiveReaderCount()), FKept(SFDS_KeptReaderCount()) {}
    ~TReaderListGuard() {
        SFDS_FreeKeptReaders(FKept);
        EXPECT_EQ(SFDS_ActiveReaderCount(), FCount) << "a reader outlived its test";
    }
    TReaderListGuard(const TReaderListGuard&) = delete;
    TReaderListGuard& operator=(const TReaderListGuard&) = delete;

private:
    std::int32_t FCount;
    std::int32_t FKept;
};
