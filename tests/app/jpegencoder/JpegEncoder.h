// Fixture pictures as JPEG files, written by libjpeg's compressor.
#pragma once

#include <string>

#include <QImage>

// JPEG bytes of Image (baseline, libjpeg's compressor).
std::string EncodeJpeg(const QImage& Image, int Quality = 90, bool Grayscale = false);
