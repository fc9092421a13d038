// What the zlib and bzip2 adapters share: the progress notification they raise
// while they move data through their underlying stream, and the size of the
// work buffer each holds inside itself.
#pragma once

#include <functional>

class TStream;

// Called with the adapter as sender.
using TCodecProgressEvent = std::function<void(TStream* Sender)>;

// Input when decompressing, output when compressing.
inline constexpr int CodecBufferSize = 65536;
