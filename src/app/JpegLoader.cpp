#include "app/JpegLoader.h"

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/FitScale.h"

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

struct TProgressMgr {
    jpeg_progress_mgr Pub;
    const std::atomic<bool>* Abort = nullptr;
};

// A picture reduced to the fitted size row by row: which decoded pixel each
// pixel of the fitted picture takes.
struct TReduction {
    std::vector<int> Xs, Ys;
    std::vector<std::uint32_t> Row;  // one decoded row
};

struct TDecodeState {
    jpeg_decompress_struct Info;
    TJpegErrorMgr Error;
    TStreamSourceMgr Source;
    TProgressMgr Progress;
    TSize View;
    TReduction Reduction;
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

[[noreturn]] void Fail(j_common_ptr Info, int Code) {
    Info->err->msg_code = Code;
    Info->err->error_exit(Info);
    std::abort();  // error_exit does not return
}

// libjpeg calls this between rows and, while it takes in the scans of a
// progressive picture, between rows of blocks, so a raised Abort stops a
// decode within one row of blocks wherever it is.
void ProgressMonitor(j_common_ptr Info) {
    const auto* Progress = reinterpret_cast<const TProgressMgr*>(Info->progress);
    if (Progress->Abort != nullptr && Progress->Abort->load(std::memory_order_relaxed)) Fail(Info, JERR_FILE_READ);
    if (Info->is_decompressor && reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > MaxJpegScans)
        Fail(Info, JERR_BAD_PROGRESSION);
}

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

// For each of Length target pixels, the source pixel whose centre is
// nearest, for a source of SourceLength pixels (as ScaleNearest picks them).
void NearestIndices(std::vector<int>& Indices, int Length, int SourceLength) {
    Indices.resize(static_cast<std::size_t>(Length));
    const double Step = static_cast<double>(SourceLength) / static_cast<double>(Length);
    for (int I = 0; I < Length; ++I) {
        const int S = static_cast<int>((static_cast<double>(I) + 0.5) * Step);
        Indices[static_cast<std::size_t>(I)] = S < SourceLength ? S : SourceLength - 1;
    }
}

// The fitted size of a Width x Height picture in View when the fit reduces
// it; empty otherwise.
TSize ReducedFit(int Width, int Height, TSize View) {
    if (View.IsEmpty() || Width <= 0 || Height <= 0) return {};
    const float Scale = FitScale(View.Width, View.Height, Width, Height);
    const TSize Fit{ScaledLength(Width, Scale), ScaledLength(Height, Scale)};
    if (Fit.Width >= Width && Fit.Height >= Height) return {};
    return Fit;
}

int Eighths(int Width, int Height, TSize Fit) {
    const auto Length = [](int Full, int M) {
        return static_cast<int>((static_cast<std::uint64_t>(Full) * static_cast<std::uint64_t>(M) + 7) / 8);
    };
    int M = 1;
    while (M < 8 && (Length(Width, M) < Fit.Width || Length(Height, M) < Fit.Height)) ++M;
    return M;
}

// Everything that may jump lives in this frame; it returns false after a jump.
bool Decode(TDecodeState& S) {
    if (setjmp(S.Error.Jump) != 0) return false;

    jpeg_create_decompress(&S.Info);
    S.Info.src = &S.Source.Pub;
    S.Info.progress = &S.Progress.Pub;
    S.Info.mem->max_memory_to_use = MaxJpegWorkMemory;
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
    if (Data != TReadAhead::Holds)
        Fail(reinterpret_cast<j_common_ptr>(&S.Info), Data == TReadAhead::Ends ? JERR_INPUT_EOF : JERR_FILE_READ);

    const bool Cmyk = S.Info.jpeg_color_space == JCS_CMYK || S.Info.jpeg_color_space == JCS_YCCK;
    S.Info.out_color_space = Cmyk ? JCS_CMYK : NativeRgb32;
    // libjpeg rounds a scaled side up, as Eighths counts it.
    const TSize Fit = ReducedFit(static_cast<int>(S.Info.image_width), static_cast<int>(S.Info.image_height), S.View);
    if (!Fit.IsEmpty()) {
        S.Info.scale_num = static_cast<unsigned>(
            Eighths(static_cast<int>(S.Info.image_width), static_cast<int>(S.Info.image_height), Fit));
        S.Info.scale_denom = 8;
    }
    jpeg_start_decompress(&S.Info);

    const int OutWidth = static_cast<int>(S.Info.output_width), OutHeight = static_cast<int>(S.Info.output_height);
    const bool Reduce = !Fit.IsEmpty();
    // The size check above keeps this below 2 GiB; a failed allocation
    // unwinds as std::bad_alloc through this frame, which owns nothing yet.
    TReduction& R = S.Reduction;
    if (Reduce) {
        S.Image.Reshape(Fit.Width, Fit.Height);
        NearestIndices(R.Xs, Fit.Width, OutWidth);
        NearestIndices(R.Ys, Fit.Height, OutHeight);
        R.Row.resize(static_cast<std::size_t>(OutWidth));
    } else {
        S.Image.Reshape(OutWidth, OutHeight);
    }

    JSAMPARRAY CmykRow = nullptr;
    if (Cmyk)
        CmykRow = (*S.Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&S.Info), JPOOL_IMAGE,
                                              S.Info.output_width * 4, 1);
    int Target = 0;  // the next row of the reduced picture
    while (S.Info.output_scanline < S.Info.output_height) {
        const int Y = static_cast<int>(S.Info.output_scanline);
        std::uint32_t* Line = Reduce ? R.Row.data() : S.Image.Line(Y);
        if (Cmyk) {
            jpeg_read_scanlines(&S.Info, CmykRow, 1);
            CmykToRgb32(CmykRow[0], Line, S.Info.output_width);
        } else {
            JSAMPROW Row = reinterpret_cast<JSAMPROW>(Line);
            jpeg_read_scanlines(&S.Info, &Row, 1);
        }
        for (; Reduce && Target < Fit.Height && R.Ys[static_cast<std::size_t>(Target)] == Y; ++Target) {
            std::uint32_t* Out = S.Image.Line(Target);
            for (int X = 0; X < Fit.Width; ++X) Out[X] = Line[R.Xs[static_cast<std::size_t>(X)]];
        }
    }
    jpeg_finish_decompress(&S.Info);
    return true;
}

void Load(TBitmap32& Bitmap, TStream& Stream, TSize View, int& Width, int& Height, const std::atomic<bool>* Abort,
          TBitmap32 Spare) {
    auto S = std::make_unique<TDecodeState>();
    S->Info.err = jpeg_std_error(&S->Error.Pub);
    S->Error.Pub.error_exit = ErrorExit;
    S->Error.Pub.output_message = OutputMessage;
    S->Progress.Pub.progress_monitor = ProgressMonitor;
    S->Progress.Abort = Abort;
    S->View = View;
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

}  // namespace

int JpegEighthsForView(int Width, int Height, TSize View) {
    const TSize Fit = ReducedFit(Width, Height, View);
    return Fit.IsEmpty() ? 8 : Eighths(Width, Height, Fit);
}

void LoadJpegImage(TBitmap32& Bitmap, TStream& Stream, int& Width, int& Height, const std::atomic<bool>* Abort,
                   TBitmap32 Spare) {
    Load(Bitmap, Stream, TSize(), Width, Height, Abort, std::move(Spare));
}

void LoadJpegImageForView(TBitmap32& Bitmap, TStream& Stream, TSize View, int& Width, int& Height,
                          const std::atomic<bool>* Abort, TBitmap32 Spare) {
    Load(Bitmap, Stream, View, Width, Height, Abort, std::move(Spare));
}
