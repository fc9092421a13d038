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

// More scans than this are refused: encoders write ten or so, while every
// scan of a progressive picture walks all of its blocks again, so a few
// bytes per scan could keep a decoder busy for minutes.
inline constexpr int MaxJpegScans = 300;

// What libjpeg may allocate for one picture. A picture decoded in one pass
// needs little; a progressive one (or one whose components come in scans of
// their own) keeps every coefficient of the whole picture, two bytes each,
// and is refused when that does not fit: a 44-megapixel photo of the usual
// kind (chroma at half resolution) still does.
inline constexpr long MaxJpegWorkMemory = 128L * 1024 * 1024;

// Decodes Stream from its position to its end at full size with the decoder's
// default settings and replaces Bitmap by the picture; Width and Height are
// the bitmap's. On an error Bitmap is left as it was. The picture is written
// into Spare's memory when that is large enough (see TBitmap32::Reshape), so
// a viewer hands in a picture it no longer shows.
// Raises EJPEG "JPEG error #%d" for undecodable data and for pictures beyond
// the limits above, EOutOfMemory when the pixels cannot be allocated, and
// passes on errors of the stream itself. When Abort becomes true the decode
// stops soon after with an EJPEG, whatever part of the picture it is in.
void LoadJpegImage(TBitmap32& Bitmap, TStream& Stream, int& Width, int& Height,
                   const std::atomic<bool>* Abort = nullptr, TBitmap32 Spare = TBitmap32());

// The eighths (1 to 8) at which LoadJpegImageForView has libjpeg decode a
// Width x Height picture for View: 8 when the fit does not reduce it.
int JpegEighthsForView(int Width, int Height, TSize View);

// As LoadJpegImage, for a picture shown fitted (FitScale) into a view of
// View pixels. A picture that the fit reduces never exists at full size: it
// is decoded through libjpeg's DCT scaling at the smallest eighth that is
// not below the fitted size, and each row is reduced by nearest neighbour as
// it comes, so Bitmap is the picture at the size the view shows it (its fit
// is 1) and costs no more than the view. The rectangle is the one a full
// decode fitted to the view would cover. Other pictures come at full size.
void LoadJpegImageForView(TBitmap32& Bitmap, TStream& Stream, TSize View, int& Width, int& Height,
                          const std::atomic<bool>* Abort = nullptr, TBitmap32 Spare = TBitmap32());
