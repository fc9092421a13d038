// Decoding of the stored pictures: libjpeg reads straight from a TStream
// through its own source manager, in bounded chunks, into 32-bit pixels.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/Bitmap32.h"

#include "runtime/Exceptions.h"
#include "runtime/Stream.h"

// A picture the decoder refuses; the message carries libjpeg's message code.
RTL_DECLARE_EXCEPTION(EJPEG, Exception);

inline constexpr const char* SJPEGError = "JPEG error #%d";

// More pixels than this are refused before any pixel memory is taken: 2 GiB of
// 32-bit pixels, far beyond what cameras produce.
inline constexpr std::uint64_t MaxJpegPixels = std::uint64_t{1} << 29;

// The fewest bytes of entropy-coded data a picture of Pixels pixels can
// have: a Huffman-coded scan spends at least one bit on every 8 x 8 block of
// its first component. A header announcing more than its data can hold is
// refused before any pixel memory is taken, so what a picture costs follows
// the size of its file. (Arithmetic coding of a single colour could go below
// this; pictures so made do not occur in practice.)
inline constexpr std::uint64_t JpegMinimumData(std::uint64_t Pixels) { return Pixels / 512; }

// Bytes asked of the stream per read.
inline constexpr std::int32_t JpegReadChunk = 64 * 1024;

// Decodes Stream from its position to its end at full size with the decoder's
// default settings and replaces Bitmap by the picture; on an error Bitmap is
// left as it was. The picture is written into Spare's memory when that is
// large enough (see TBitmap32::Reshape), so a viewer hands in a picture it no
// longer shows.
// Raises EJPEG "JPEG error #%d" for undecodable data, EOutOfMemory when the
// pixels cannot be allocated, and passes on errors of the stream itself.
// When Abort becomes true the decode stops with an EJPEG.
void LoadJpegImage(TBitmap32& Bitmap, TStream& Stream, int& Width, int& Height,
                   const std::atomic<bool>* Abort = nullptr, TBitmap32 Spare = TBitmap32());
