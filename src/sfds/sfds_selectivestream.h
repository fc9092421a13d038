// A window onto one byte range of another stream: position 0 of the window is
// the range's first byte and its size is the range's length. Entry streams and
// the entry table are read through such windows, so that a consumer can never
// read into the bytes of a neighbouring entry.
//
// The window does not buffer. Reads and writes go straight to the source,
// which is expected to stand where the window last left it: between seeks the
// window must be the only user that moves its source (the reader hands every
// entry window a private clone of the archive's stream). Every seek, the
// position query included, places the source absolutely, so a seek brings the
// source back in step after someone else has moved it.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/Stream.h"

class TSelectiveStream : public TStream {
public:
    // A window over SourceStream from StartPosition up to EndPosition
    // (exclusive, both absolute source positions), positioned at 0. The
    // source stays the caller's. Raises ESFDSNilSourceStream for a null source.
    TSelectiveStream(TStream* SourceStream, std::int64_t StartPosition, std::int64_t EndPosition);
    // The same, taking ownership of the source (freed with the window, also
    // when this constructor raises).
    TSelectiveStream(std::unique_ptr<TStream> SourceStream, std::int64_t StartPosition, std::int64_t EndPosition);
    ~TSelectiveStream() override;

    std::int64_t GetSize() override { return FNewSize; }
    // Always raises ESFDSInvalidStreamOperation: the window's size is fixed.
    void SetSize(std::int64_t NewSize) override;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // Changes source bytes inside the window only; the size never changes.
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    // Targets are kept inside 0..Size: beyond the end gives Size, before the
    // start gives 0, so no byte outside the range is ever reachable.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    TStream* SourceStream() const { return FSourceStream; }
    bool FreeSourceOnDestroy() const { return FOwnedSource != nullptr; }
    // True: the window takes over the source and frees it when destroyed.
    // False: the window gives ownership up; whoever holds SourceStream()
    // becomes responsible for freeing it.
    void SetFreeSourceOnDestroy(bool Value);

private:
    void Open(std::int64_t StartPosition, std::int64_t EndPosition);
    // Bytes that may still be moved from the current position, 0 when the
    // source could not be placed inside the window.
    std::int32_t Clip(std::int32_t Count) const;

    std::int64_t FStartPos = 0;
    std::int64_t FEndPos = 0;
    std::int64_t FPosition = 0;
    std::int64_t FNewSize = 0;
    TStream* FSourceStream = nullptr;
    std::unique_ptr<TStream> FOwnedSource;  // set while the window frees the source
    // The last seek of the source arrived where it was sent; reads and writes
    // touch the source only then.
    bool FSourceInPlace = false;
};
