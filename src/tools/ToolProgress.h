// The progress bar on standard error (only when it is a terminal) and Ctrl-C,
// which the long-running commands turn into the library's Cancel.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "sfds/sfds_extract.h"

class TSFDSCustomReader;

// Ctrl-C from now on sets a flag, which the commands poll and turn into a
// cancel (result 21); a command that has not ended shortly after is ended
// with exit status 21 (see ToolWatchInterrupt).
void ToolCatchInterrupt();
bool ToolInterrupted();
// What the entries Indexes of Reader decode to, for a progress total. Sizes
// come from the file: any value, any sum.
std::int64_t ToolEntriesSize(const TSFDSCustomReader& Reader, std::span<const std::int32_t> Indexes);
// The same for every entry of Reader.
std::int64_t ToolEntriesSize(const TSFDSCustomReader& Reader);

class TToolProgress {
public:
    // Total: the bytes the whole command expects to move.
    explicit TToolProgress(std::int64_t Total);
    ~TToolProgress();
    TToolProgress(const TToolProgress&) = delete;
    TToolProgress& operator=(const TToolProgress&) = delete;

    // The entry now being worked on, in UTF-8.
    void SetEntry(const std::string& Name);
    void Advance(std::int64_t Bytes);
    // Clears the bar so that other output starts on a clean line.
    void Clear();
    // A progress event for the library's reads: it moves this bar and turns
    // Ctrl-C into the library's cancel. Called on the caller's thread.
    TSFDSProgressEvent Event();

private:
    void Draw();

    bool FEnabled;
    std::int64_t FTotal;
    std::int64_t FDone = 0;
    std::string FEntry;
    std::chrono::steady_clock::time_point FStart;
    std::chrono::steady_clock::time_point FLastDraw;
    bool FShown = false;
};
