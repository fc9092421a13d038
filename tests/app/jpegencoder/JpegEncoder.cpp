#include "JpegEncoder.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <jpeglib.h>
}

std::string EncodeJpeg(const QImage& Image, int Quality, bool Grayscale) {
    const QImage Rgb = Image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_compress(&Info);
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    jpeg_mem_dest(&Info, &Out, &OutSize);
    Info.image_width = static_cast<JDIMENSION>(Rgb.width());
    Info.image_height = static_cast<JDIMENSION>(Rgb.height());
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    if (Grayscale) jpeg_set_colorspace(&Info, JCS_GRAYSCALE);
    jpeg_set_quality(&Info, Quality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row = const_cast<JSAMPROW>(Rgb.constScanLine(static_cast<int>(Info.next_scanline)));
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::string Result(reinterpret_cast<const char*>(Out), OutSize);
    std::free(Out);
    return Result;
}
