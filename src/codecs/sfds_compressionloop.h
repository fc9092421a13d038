// What the zlib and bzip2 compression adapters share: the loop that feeds the
// bytes written to the codec and hands each full output buffer to the
// destination, the finishing of the compressed data (at most once: by Finish,
// which raises, or by the destructor, which cannot), the count of bytes
// accepted that Seek(0, soCurrent) answers, and the compression rate.
//
// Base is the codec family's common class (TCustomCodecStream with the
// library's record as CodecState(): next_in, avail_in, next_out, avail_out);
// Engine holds the codec's calls on that record:
//   static void Start(Record&, ...);        the arguments the adapter passes after the destination
//   static bool Compress(Record&, bool Finishing);  one call on what is there; raises the codec's
//                                           errors; true once the compressed data is complete
//   static void End(Record&);               releases the codec; its result is not looked at
//   [[noreturn]] static void InvalidOperation();
//   static constexpr bool ProgressEachCall; progress after every codec call while writing;
//                                           otherwise after each block handed to the destination
#pragma once

#include <cstdint>

#include "codecs/sfds_codecstream.h"
#include "runtime/Stream.h"

template <class Base, class Engine>
class TCompressionLoop : public Base {
public:
    // Finishes the compressed data unless Finish already did; a failure there
    // cannot leave a destructor, so callers that must know call Finish.
    ~TCompressionLoop() override {
        try {
            Finish();
        } catch (...) {
            // Nothing may leave a destructor; Finish reports to callers that ask.
        }
        Engine::End(this->CodecState());
    }

    std::int32_t Read(void*, std::int32_t) override {
        Engine::InvalidOperation();
        return 0;  // not reached: InvalidOperation raises
    }

    // Compressed bytes reach the destination only in whole buffers; the rest
    // waits for the next one or for Finish.
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count < 0) Count = 0;
        auto& Z = this->CodecState();
        Z.next_in = static_cast<decltype(Z.next_in)>(const_cast<void*>(Buffer));
        Z.avail_in = static_cast<decltype(Z.avail_in)>(Count);
        this->Reposition();
        while (Z.avail_in > 0) {
            CountedCompress(false);
            const bool Full = Z.avail_out == 0;
            if (Full) {
                FlushBuffer();
                this->FStreamPos = this->FStream->Position();
            }
            if (Full || Engine::ProgressEachCall) this->DoProgress();
        }
        return Count;
    }

    // Only Seek(0, soCurrent) is answered: the number of bytes written so far.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        if (Offset == 0 && Origin == soCurrent) return FTotalIn;
        Engine::InvalidOperation();
        return 0;  // not reached: InvalidOperation raises
    }

    // Writes the rest of the compressed data into the destination; raises
    // what the destination or the codec raises. Runs at most once and reports
    // no progress.
    void Finish() {
        if (FFinished) return;
        FFinished = true;
        auto& Z = this->CodecState();
        Z.next_in = nullptr;
        Z.avail_in = 0;
        this->Reposition();
        // A call that does not complete the data has filled the buffer (bzip2
        // always; zlib may stop short of that, and is called again).
        while (!CountedCompress(true)) FlushBuffer();
        if (Z.avail_out < static_cast<decltype(Z.avail_out)>(CodecBufferSize)) FlushBuffer();
    }

    // Per cent of the size saved so far.
    float CompressionRate() const {
        if (FTotalIn == 0) return 0.0f;
        return static_cast<float>((1.0 - static_cast<double>(FTotalOut) / static_cast<double>(FTotalIn)) * 100.0);
    }

protected:
    // EngineArgs go to Engine::Start after the output buffer is set up.
    template <typename... TEngineArgs>
    explicit TCompressionLoop(TStream& Dest, TEngineArgs... EngineArgs) : Base(Dest) {
        ResetOutput();
        Engine::Start(this->CodecState(), EngineArgs...);
    }

private:
    // The whole buffer is free for the codec's output.
    void ResetOutput() {
        auto& Z = this->CodecState();
        Z.next_out = reinterpret_cast<decltype(Z.next_out)>(this->FBuffer);
        Z.avail_out = CodecBufferSize;
    }

    // One codec call; the totals are 64-bit whatever the codec counts in.
    bool CountedCompress(bool Finishing) {
        auto& Z = this->CodecState();
        const auto In = Z.avail_in;
        const auto Out = Z.avail_out;
        const bool Complete = Engine::Compress(Z, Finishing);
        FTotalIn += In - Z.avail_in;
        FTotalOut += Out - Z.avail_out;
        return Complete;
    }

    // Hands what the buffer holds to the destination and empties it.
    void FlushBuffer() {
        const auto Pending = CodecBufferSize - static_cast<std::int32_t>(this->CodecState().avail_out);
        this->FStream->WriteBuffer(this->FBuffer, Pending);
        ResetOutput();
    }

    std::int64_t FTotalIn = 0;   // bytes the codec took
    std::int64_t FTotalOut = 0;  // bytes the codec produced
    bool FFinished = false;
};
