// The progress notification the compression adapters raise while they move
// data through their underlying stream.
#pragma once

#include <functional>

class TStream;

// Called with the adapter as sender.
using TCodecProgressEvent = std::function<void(TStream* Sender)>;

// Size of the work buffer every adapter holds inside itself: input when
// decompressing, output when compressing.
inline constexpr int CodecBufferSize = 65536;
