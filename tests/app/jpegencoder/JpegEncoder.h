// Fixture pictures as JPEG files, written by libjpeg's compressor.
#pragma once

#include <string>

#include "app/Bitmap32.h"

// JPEG bytes of Picture (baseline, libjpeg's compressor).
std::string EncodeJpeg(const TBitmap32& Picture, int Quality = 90, bool Grayscale = false);
