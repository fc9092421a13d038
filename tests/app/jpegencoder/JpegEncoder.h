// Fixture pictures as JPEG files: written by libjpeg's compressor, or, for
// what no encoder would write, put together marker by marker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/Bitmap32.h"

// JPEG bytes of Picture (libjpeg's compressor; baseline unless Progressive,
// which takes libjpeg's usual progression of a handful of scans).
std::string EncodeJpeg(const TBitmap32& Picture, int Quality = 90, bool Grayscale = false, bool Progressive = false);

// JPEG bytes (baseline) of a Width x Height picture whose rows MakeRow fills
// with 0xFFRRGGBB words, one row at a time: pictures far larger than memory
// should hold are encoded without ever being whole.
std::string EncodeJpegRows(int Width, int Height, const std::function<void(int Y, std::uint32_t* Line)>& MakeRow,
                           int Quality = 90);

// A progressive picture of Components (1 or 3) mid-grey components, made to
// cost a decoder as much as possible for its size: one scan of the DC
// coefficients, one bit per block, then Scans - 1 scans that each cover every
// block of a component with a few bytes of end-of-band runs. Each scan is one
// a decoder accepts (the progression never goes backwards).
std::string ManyScanJpeg(int Width, int Height, int Components, int Scans);

// A baseline mid-grey picture of one component and nothing but blank blocks,
// two bits each: a picture of hundreds of megapixels in a few megabytes.
std::string BlankJpeg(int Width, int Height);
