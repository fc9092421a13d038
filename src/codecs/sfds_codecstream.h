// What every zlib and bzip2 adapter holds: the underlying stream and where
// the adapter last left it, the progress notification it raises while it
// moves data through that stream, and its work buffer. Each codec's family
// class adds the library's stream record.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "runtime/Stream.h"

// Called with the adapter as sender.
using TCodecProgressEvent = std::function<void(TStream* Sender)>;

// Input when decompressing, output when compressing.
inline constexpr int CodecBufferSize = 65536;

class TCustomCodecStream : public TStream {
public:
    const TCodecProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(TCodecProgressEvent Handler) { FOnProgress = std::move(Handler); }

protected:
    explicit TCustomCodecStream(TStream& Stream) : FStream(&Stream), FStreamPos(Stream.Position()) {}

    virtual void DoProgress() {
        if (FOnProgress) FOnProgress(this);
    }
    // Others may move the underlying stream between our calls: put it back
    // where this adapter last left it.
    void Reposition() {
        if (FStream->Position() != FStreamPos) FStream->SetPosition(FStreamPos);
    }

    TStream* FStream;  // not owned
    std::int64_t FStreamPos;
    TCodecProgressEvent FOnProgress;
    unsigned char FBuffer[CodecBufferSize];
};
