#include "JpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

std::string EncodeJpeg(const TBitmap32& Picture, int Quality, bool Grayscale) {
    jpeg_compress_struct Info;
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_compress(&Info);
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    jpeg_mem_dest(&Info, &Out, &OutSize);
    Info.image_width = static_cast<JDIMENSION>(Picture.Width());
    Info.image_height = static_cast<JDIMENSION>(Picture.Height());
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    if (Grayscale) jpeg_set_colorspace(&Info, JCS_GRAYSCALE);
    jpeg_set_quality(&Info, Quality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    std::vector<JSAMPLE> Row(static_cast<std::size_t>(Picture.Width()) * 3);
    while (Info.next_scanline < Info.image_height) {
        const std::uint32_t* Line = Picture.Line(static_cast<int>(Info.next_scanline));
        for (int X = 0; X < Picture.Width(); ++X) {
            Row[static_cast<std::size_t>(X) * 3 + 0] = static_cast<JSAMPLE>(Line[X] >> 16);
            Row[static_cast<std::size_t>(X) * 3 + 1] = static_cast<JSAMPLE>(Line[X] >> 8);
            Row[static_cast<std::size_t>(X) * 3 + 2] = static_cast<JSAMPLE>(Line[X]);
        }
        JSAMPROW P = Row.data();
        jpeg_write_scanlines(&Info, &P, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::string Result(reinterpret_cast<const char*>(Out), OutSize);
    std::free(Out);
    return Result;
}
