// What the zlib and bzip2 decompression adapters share: the loop that fills
// the codec's input from the underlying stream and runs the codec until the
// caller's buffer is full or the compressed data ends, the give-back of the
// bytes read past that end, and seeking by restart, by decompressing and
// discarding forward, or by reading to the end.
//
// Base is the codec family's common class (TCustomCodecStream with the
// library's record as CodecState(): next_in, avail_in, next_out, avail_out);
// Derived supplies the codec:
//   TDecompressionStep Step(bool SourceEnded);   one codec call on what is there
//   bool HoldsOutput() const;            may still hand out bytes once the source ended
//   void RestartCodec();                 back to the state before the first byte, source at 0
//   std::int64_t Produced() const;       bytes handed out since the last restart
//   [[noreturn]] void InvalidOperation() const;
//   static constexpr bool KeepsEnd;      once the data has ended, later reads return 0 at once;
//                                        otherwise each reads what follows, finds the codec at
//                                        its end and gives those bytes back
#pragma once

#include <cstdint>

#include "codecs/sfds_codecstream.h"
#include "runtime/Stream.h"

enum class TDecompressionStep : std::uint8_t {
    GoOn,  // more input or more room is needed
    End,   // the compressed data ended
    Stop,  // nothing more comes out of what there is: hand out what there is
};

template <class Derived, class Base>
class TDecompressionLoop : public Base {
public:
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        this->Reposition();
        if (Count <= 0 || (Derived::KeepsEnd && FAtEnd)) return 0;
        Derived& D = static_cast<Derived&>(*this);
        auto& Z = this->CodecState();
        Z.next_out = reinterpret_cast<decltype(Z.next_out)>(Buffer);
        Z.avail_out = static_cast<decltype(Z.avail_out)>(Count);
        TDecompressionStep Step = TDecompressionStep::GoOn;
        while (Z.avail_out > 0 && Step == TDecompressionStep::GoOn) {
            bool SourceEnded = false;
            if (Z.avail_in == 0) {
                const std::int32_t Got = this->FStream->Read(this->FBuffer, CodecBufferSize);
                Z.next_in = reinterpret_cast<decltype(Z.next_in)>(this->FBuffer);
                if (Got > 0) {
                    Z.avail_in = static_cast<decltype(Z.avail_in)>(Got);
                    this->FStreamPos = this->FStream->Position();
                    this->DoProgress();
                } else if (!D.HoldsOutput()) {
                    break;  // the source ended first: hand out what there is
                } else {
                    SourceEnded = true;
                }
            }
            Step = D.Step(SourceEnded);
        }
        if (Step == TDecompressionStep::End) {
            // Whatever follows the compressed data belongs to someone else.
            FAtEnd = true;
            if (Z.avail_in > 0) {
                this->FStreamPos = this->FStream->Seek(-static_cast<std::int64_t>(Z.avail_in), soCurrent);
                Z.avail_in = 0;
            }
        }
        return Count - static_cast<std::int32_t>(Z.avail_out);
    }

    std::int32_t Write(const void*, std::int32_t) override {
        static_cast<Derived&>(*this).InvalidOperation();
        return 0;  // not reached: InvalidOperation raises
    }

    // Position 0 from the beginning restarts; forward targets are reached by
    // decompressing and discarding; Seek(0, soEnd) decompresses to the end.
    // Every other target is an invalid operation.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        Derived& D = static_cast<Derived&>(*this);
        if (Offset == 0 && Origin == soBeginning) {
            D.RestartCodec();
            auto& Z = this->CodecState();
            Z.next_in = reinterpret_cast<decltype(Z.next_in)>(this->FBuffer);
            Z.avail_in = 0;
            FAtEnd = false;
        } else if ((Origin == soCurrent && Offset >= 0) || (Origin == soBeginning && Offset > D.Produced())) {
            const std::int64_t N = Origin == soCurrent ? Offset : Offset - D.Produced();
            unsigned char Scratch[SkipPieceSize];
            for (std::int64_t I = N / SkipPieceSize; I > 0; --I) this->ReadBuffer(Scratch, SkipPieceSize);
            this->ReadBuffer(Scratch, static_cast<std::int32_t>(N % SkipPieceSize));
        } else if (Offset == 0 && Origin == soEnd) {
            unsigned char Scratch[SkipPieceSize];
            while (Read(Scratch, SkipPieceSize) > 0) {
            }
        } else {
            D.InvalidOperation();
        }
        return D.Produced();
    }

protected:
    using Base::Base;

    // Bytes decompressed and discarded per step when skipping forward.
    static constexpr std::int32_t SkipPieceSize = 16384;

private:
    bool FAtEnd = false;
};
