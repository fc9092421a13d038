#include "tools/ToolProgress.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "runtime/Checked.h"
#include "runtime/Format.h"
#include "sfds/sfds_extract.h"
#include "sfds/sfds_reader.h"
#include "tools/ToolCommand.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

std::atomic<bool> Interrupted{false};

void OnInterrupt() { Interrupted.store(true); }

// Room for the entry name: the bar stays on one line of a common terminal.
constexpr std::size_t EntryWidth = 40;

}  // namespace

void ToolCatchInterrupt() {
    // The line a process ended after the grace leaves, as ToolError would write it.
    static const std::string StopText = Format(ToolErrorPrefix, ToolProgramName().c_str()) + SFDS_ERR_UserAborted;
    ToolWatchInterrupt(OnInterrupt, StopText.c_str(), SFDS_ERR_ABORTED);
}

bool ToolInterrupted() { return Interrupted.load(); }

std::int64_t ToolEntriesSize(const TSFDSCustomReader& Reader, std::span<const std::int32_t> Indexes) {
    std::int64_t Total = 0;
    for (const std::int32_t I : Indexes)
        Total = SaturatedAdd(Total, std::max<std::int64_t>(0, Reader.FileEntrys().Items(I)->FileSize));
    return Total;
}

std::int64_t ToolEntriesSize(const TSFDSCustomReader& Reader) {
    std::int64_t Total = 0;
    for (std::int32_t I = 0; I < Reader.FileEntrys().Count(); ++I)
        Total = SaturatedAdd(Total, std::max<std::int64_t>(0, Reader.FileEntrys().Items(I)->FileSize));
    return Total;
}

TSFDSProgressEvent TToolProgress::Event() {
    return [this](TSFDSCustomSource*, std::int64_t, std::int64_t, std::int64_t ThisTime, bool& Cancel,
                  const std::string&, const std::string&) {
        Advance(ThisTime);
        if (ToolInterrupted()) Cancel = true;
    };
}

TToolProgress::TToolProgress(std::int64_t Total)
    : FEnabled(ToolStderrIsTerminal()), FTotal(Total), FStart(std::chrono::steady_clock::now()),
      FLastDraw(FStart) {}

TToolProgress::~TToolProgress() { Clear(); }

void TToolProgress::SetEntry(const std::string& Name) {
    if (Name.size() <= EntryWidth) {
        FEntry = Name;
    } else {
        // Keep the end of the name, cut at a character boundary.
        std::size_t From = Name.size() - (EntryWidth - 3);
        while (From < Name.size() && (static_cast<unsigned char>(Name[From]) & 0xC0) == 0x80) ++From;
        FEntry = "..." + Name.substr(From);
    }
    if (FEnabled) Draw();
}

void TToolProgress::Advance(std::int64_t Bytes) {
    FDone = SaturatedAdd(FDone, Bytes);
    if (!FEnabled) return;
    const auto Now = std::chrono::steady_clock::now();
    if (Now - FLastDraw >= std::chrono::milliseconds(100)) Draw();
}

void TToolProgress::Draw() {
    const auto Now = std::chrono::steady_clock::now();
    FLastDraw = Now;
    const double Seconds = std::chrono::duration<double>(Now - FStart).count();
    const std::string Line =
        Format(ToolProgressLine, ToolPercent(FDone, FTotal), ToolByteText(static_cast<double>(FDone)).c_str(),
               ToolByteText(static_cast<double>(FTotal)).c_str(),
               ToolByteText(Seconds > 0 ? static_cast<double>(FDone) / Seconds : 0).c_str(), FEntry.c_str());
    // Erase the rest of the previous, possibly longer line.
    std::fprintf(stderr, "%s\x1b[K", Line.c_str());
    std::fflush(stderr);
    FShown = true;
}

void TToolProgress::Clear() {
    if (!FEnabled || !FShown) return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    FShown = false;
}
