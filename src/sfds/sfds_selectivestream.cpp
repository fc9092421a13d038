#include "sfds/sfds_selectivestream.h"

#include <algorithm>
#include <limits>

#include "runtime/Checked.h"
#include "sfds/sfds_consts.h"

TSelectiveStream::TSelectiveStream(TStream* SourceStream, std::int64_t StartPosition, std::int64_t EndPosition)
    : FSourceStream(SourceStream) {
    Open(StartPosition, EndPosition);
}

TSelectiveStream::TSelectiveStream(std::unique_ptr<TStream> SourceStream, std::int64_t StartPosition,
                                   std::int64_t EndPosition)
    : FSourceStream(SourceStream.get()), FOwnedSource(std::move(SourceStream)) {
    Open(StartPosition, EndPosition);
}

TSelectiveStream::~TSelectiveStream() {
    FOwnedSource.reset();
    FSourceStream = nullptr;
}

void TSelectiveStream::Open(std::int64_t StartPosition, std::int64_t EndPosition) {
    if (FSourceStream == nullptr) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
    FStartPos = StartPosition;
    FEndPos = EndPosition;
    FPosition = 0;
    // An inverted range is an empty window; a range wider than int64 (only
    // possible with a negative start) is cut to the widest size there is.
    if (EndPosition <= StartPosition) FNewSize = 0;
    else if (!CheckedSub(EndPosition, StartPosition, FNewSize)) FNewSize = std::numeric_limits<std::int64_t>::max();
    Seek(0, soBeginning);
}

void TSelectiveStream::SetSize(std::int64_t) { throw ESFDSInvalidStreamOperation(SFDS_ERR_FixedSize); }

void TSelectiveStream::SetFreeSourceOnDestroy(bool Value) {
    if (Value == FreeSourceOnDestroy()) return;
    if (Value) FOwnedSource.reset(FSourceStream);
    else static_cast<void>(FOwnedSource.release());  // the holder of SourceStream() frees it now
}

std::int32_t TSelectiveStream::Clip(std::int32_t Count) const {
    if (Count <= 0 || !FSourceInPlace || FPosition < 0) return 0;
    const std::int64_t Remaining = FNewSize - FPosition;
    if (Remaining <= 0) return 0;
    return static_cast<std::int32_t>(std::min<std::int64_t>(Count, Remaining));
}

std::int32_t TSelectiveStream::Read(void* Buffer, std::int32_t Count) {
    Count = Clip(Count);
    if (Count == 0) return 0;
    // No seek here: the source already stands at FStartPos + FPosition.
    const std::int32_t N = FSourceStream->Read(Buffer, Count);
    if (N > 0) FPosition += N;
    return N;
}

std::int32_t TSelectiveStream::Write(const void* Buffer, std::int32_t Count) {
    Count = Clip(Count);
    if (Count == 0) return 0;
    const std::int32_t N = FSourceStream->Write(Buffer, Count);
    if (N > 0) FPosition += N;
    return N;
}

std::int64_t TSelectiveStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    // Worked out inside 0..FNewSize so that no sum can overflow.
    const std::int64_t Here = std::clamp<std::int64_t>(FPosition, 0, FNewSize);
    std::int64_t Target = 0;
    switch (Origin) {
        case soBeginning: Target = Offset; break;
        case soCurrent:
            if (Offset > FNewSize - Here) Target = FNewSize;
            else if (Offset < -Here) Target = 0;
            else Target = Here + Offset;
            break;
        case soEnd:
            if (Offset > 0) Target = FNewSize;
            else if (Offset < -FNewSize) Target = 0;
            else Target = FNewSize + Offset;
            break;
    }
    Target = std::clamp<std::int64_t>(Target, 0, FNewSize);
    // Placed absolutely rather than relative to where the source happens to
    // stand, which puts the source back in step if someone else moved it.
    const std::int64_t Wanted = FStartPos + Target;
    FSourceInPlace = false;  // stays so if the source's seek raises
    FSourceInPlace = FSourceStream->Seek(Wanted, soBeginning) == Wanted;
    FPosition = Target;
    return FPosition;
}
