#include "app/JpegLoader.h"

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "runtime/Format.h"
#include "runtime/RtlConsts.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

// libjpeg reports errors through a callback that must not return. It jumps
// back to the decode frame, which holds no C++ objects with destructors, and
// the exception is raised from there.
struct TJpegErrorMgr {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

struct TStreamSourceMgr {
    jpeg_source_mgr Pub;
    TStream* Stream = nullptr;
    const std::atomic<bool>* Abort = nullptr;
    std::unique_ptr<JOCTET[]> Buffer;
    bool StartOfFile = true;
    // An exception of the stream, parked while libjpeg unwinds.
    std::exception_ptr StreamError;
};

struct TDecodeState {
    jpeg_decompress_struct Info;
    TJpegErrorMgr Error;
    TStreamSourceMgr Source;
    TBitmap32 Image;
    bool OutOfMemory = false;
    bool TooBig = false;
};

const JOCTET FakeEOI[2] = {0xFF, JPEG_EOI};

// libjpeg writes the bitmap's 0xFFRRGGBB words directly.
constexpr J_COLOR_SPACE NativeRgb32 = std::endian::native == std::endian::big ? JCS_EXT_XRGB : JCS_EXT_BGRX;

[[noreturn]] void ErrorExit(j_common_ptr Info) {
    auto* Err = reinterpret_cast<TJpegErrorMgr*>(Info->err);
    std::longjmp(Err->Jump, 1);
}

void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr Info) {
    reinterpret_cast<TStreamSourceMgr*>(Info->src)->StartOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr Info) {
    auto* Src = reinterpret_cast<TStreamSourceMgr*>(Info->src);
    std::int32_t Got = 0;
    bool Failed = false;
    if (Src->Abort != nullptr && Src->Abort->load(std::memory_order_relaxed)) {
        Failed = true;
    } else {
        try {
            Got = Src->Stream->Read(Src->Buffer.get(), JpegReadChunk);
        } catch (...) {
            Src->StreamError = std::current_exception();
            Failed = true;
        }
    }
    // Leave the catch block before jumping: longjmp must not cross it.
    if (Failed) {
        Info->err->msg_code = JERR_FILE_READ;
        Info->err->error_exit(reinterpret_cast<j_common_ptr>(Info));
    }
    if (Got <= 0) {
        if (Src->StartOfFile) {
            Info->err->msg_code = JERR_INPUT_EMPTY;
            Info->err->error_exit(reinterpret_cast<j_common_ptr>(Info));
        }
        // A truncated picture decodes as far as it goes, as libjpeg's own sources do.
        WARNMS(Info, JWRN_JPEG_EOF);
        Src->Pub.next_input_byte = FakeEOI;
        Src->Pub.bytes_in_buffer = 2;
    } else {
        Src->Pub.next_input_byte = Src->Buffer.get();
        Src->Pub.bytes_in_buffer = static_cast<std::size_t>(Got);
    }
    Src->StartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long NumBytes) {
    auto* Src = reinterpret_cast<TStreamSourceMgr*>(Info->src);
    while (NumBytes > static_cast<long>(Src->Pub.bytes_in_buffer)) {
        NumBytes -= static_cast<long>(Src->Pub.bytes_in_buffer);
        Src->Pub.bytes_in_buffer = 0;
        FillInputBuffer(Info);
    }
    if (NumBytes > 0) {
        Src->Pub.next_input_byte += NumBytes;
        Src->Pub.bytes_in_buffer -= static_cast<std::size_t>(NumBytes);
    }
}

void TermSource(j_decompress_ptr) {}

enum class TReadAhead { Holds, Ends, Failed };

// Whether at least Need bytes follow what libjpeg has consumed. Reads ahead
// in bounded chunks into a buffer that keeps the unconsumed bytes in front,
// so decoding goes on from exactly where it was. Never jumps: an error of
// the stream is parked as FillInputBuffer parks it, and the caller leaves.
TReadAhead ReadAhead(TStreamSourceMgr& Src, std::uint64_t Need) {
    std::size_t Have = Src.Pub.bytes_in_buffer;
    if (Have >= Need) return TReadAhead::Holds;
    // Need is at most MaxJpegPixels / 512 bytes: 1 MiB.
    auto Buffer = std::unique_ptr<JOCTET[]>(new JOCTET[static_cast<std::size_t>(Need) + JpegReadChunk]);
    if (Have > 0) std::memcpy(Buffer.get(), Src.Pub.next_input_byte, Have);
    try {
        while (Have < Need) {
            if (Src.Abort != nullptr && Src.Abort->load(std::memory_order_relaxed)) return TReadAhead::Failed;
            const std::int32_t Got = Src.Stream->Read(Buffer.get() + Have, JpegReadChunk);
            if (Got <= 0) break;
            Have += static_cast<std::size_t>(Got);
        }
    } catch (...) {
        Src.StreamError = std::current_exception();
        return TReadAhead::Failed;
    }
    Src.Buffer = std::move(Buffer);
    Src.Pub.next_input_byte = Src.Buffer.get();
    Src.Pub.bytes_in_buffer = Have;
    return Have >= Need ? TReadAhead::Holds : TReadAhead::Ends;
}

// Adobe CMYK pictures store inverted ink values.
void CmykToRgb32(const JSAMPLE* In, std::uint32_t* Out, JDIMENSION Width) {
    for (JDIMENSION X = 0; X < Width; ++X, In += 4) {
        const unsigned K = In[3];
        const unsigned R = In[0] * K / 255, G = In[1] * K / 255, B = In[2] * K / 255;
        Out[X] = 0xFF000000u | (R << 16) | (G << 8) | B;
    }
}

// Everything that may jump lives in this frame; it returns false after a jump.
bool Decode(TDecodeState& S) {
    if (setjmp(S.Error.Jump) != 0) return false;

    jpeg_create_decompress(&S.Info);
    S.Info.src = &S.Source.Pub;
    jpeg_read_header(&S.Info, TRUE);

    const std::uint64_t Pixels =
        static_cast<std::uint64_t>(S.Info.image_width) * static_cast<std::uint64_t>(S.Info.image_height);
    if (Pixels > MaxJpegPixels) {
        S.TooBig = true;
        S.Info.err->msg_code = JERR_IMAGE_TOO_BIG;
        S.Info.err->msg_parm.i[0] = static_cast<int>(JPEG_MAX_DIMENSION);
        S.Info.err->error_exit(reinterpret_cast<j_common_ptr>(&S.Info));
    }
    // The header alone can announce any size: a file of a few bytes would
    // otherwise cost the decoder's buffers and the pixels of the full frame.
    const TReadAhead Data = ReadAhead(S.Source, JpegMinimumData(Pixels));
    if (Data != TReadAhead::Holds) {
        S.Info.err->msg_code = Data == TReadAhead::Ends ? JERR_INPUT_EOF : JERR_FILE_READ;
        S.Info.err->error_exit(reinterpret_cast<j_common_ptr>(&S.Info));
    }

    const bool Cmyk = S.Info.jpeg_color_space == JCS_CMYK || S.Info.jpeg_color_space == JCS_YCCK;
    S.Info.out_color_space = Cmyk ? JCS_CMYK : NativeRgb32;
    jpeg_start_decompress(&S.Info);

    // The size check above keeps this below 2 GiB; a failed allocation
    // unwinds as std::bad_alloc through this frame, which owns nothing yet.
    S.Image.Reshape(static_cast<int>(S.Info.output_width), static_cast<int>(S.Info.output_height));

    JSAMPARRAY CmykRow = nullptr;
    if (Cmyk)
        CmykRow = (*S.Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&S.Info), JPOOL_IMAGE,
                                              S.Info.output_width * 4, 1);
    while (S.Info.output_scanline < S.Info.output_height) {
        const int Y = static_cast<int>(S.Info.output_scanline);
        if (Cmyk) {
            jpeg_read_scanlines(&S.Info, CmykRow, 1);
            CmykToRgb32(CmykRow[0], S.Image.Line(Y), S.Info.output_width);
        } else {
            JSAMPROW Row = reinterpret_cast<JSAMPROW>(S.Image.Line(Y));
            jpeg_read_scanlines(&S.Info, &Row, 1);
        }
    }
    jpeg_finish_decompress(&S.Info);
    return true;
}

}  // namespace

void LoadJpegImage(TBitmap32& Bitmap, TStream& Stream, int& Width, int& Height, const std::atomic<bool>* Abort,
                   TBitmap32 Spare) {
    auto S = std::make_unique<TDecodeState>();
    S->Info.err = jpeg_std_error(&S->Error.Pub);
    S->Error.Pub.error_exit = ErrorExit;
    S->Error.Pub.output_message = OutputMessage;
    S->Image = std::move(Spare);  // its memory is written over when large enough
    S->Source.Stream = &Stream;
    S->Source.Abort = Abort;
    S->Source.Buffer.reset(new JOCTET[JpegReadChunk]);
    S->Source.Pub.init_source = InitSource;
    S->Source.Pub.fill_input_buffer = FillInputBuffer;
    S->Source.Pub.skip_input_data = SkipInputData;
    S->Source.Pub.resync_to_restart = jpeg_resync_to_restart;
    S->Source.Pub.term_source = TermSource;
    S->Source.Pub.bytes_in_buffer = 0;
    S->Source.Pub.next_input_byte = nullptr;

    bool Ok = false;
    try {
        Ok = Decode(*S);
    } catch (const std::bad_alloc&) {
        S->OutOfMemory = true;
    }
    const int Code = S->Error.Pub.msg_code;
    jpeg_destroy_decompress(&S->Info);

    if (S->Source.StreamError) std::rethrow_exception(S->Source.StreamError);
    if (S->OutOfMemory) throw EOutOfMemory(SOutOfMemory);
    if (!Ok) throw EJPEG(Format(SJPEGError, Code));

    Bitmap = std::move(S->Image);
    Width = Bitmap.Width();
    Height = Bitmap.Height();
}
