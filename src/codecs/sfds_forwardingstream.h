// The codec plug-ins are thin shells around the stream adapters: the registry
// needs TSFDSCompressor/TSFDSDecompressor descendants, the work is done by an
// adapter the shell owns. This is the shell, shared by all of them: the stream
// part that forwards to the adapter, and the registry's side of each kind
// (Create, Finish).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_formats.h"

// Base is the registry's class the plug-in derives from, Inner the adapter it
// owns and hands every stream operation to unchanged.
template <class Base, class Inner>
class TSFDSForwardingStream : public Base {
public:
    void SetSize(std::int64_t NewSize) override { FInnerStream->SetSize(NewSize); }
    std::int32_t Read(void* Buffer, std::int32_t Count) override { return FInnerStream->Read(Buffer, Count); }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        return FInnerStream->Write(Buffer, Count);
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        return FInnerStream->Seek(Offset, Origin);
    }

    Inner& InnerStream() const { return *FInnerStream; }

protected:
    explicit TSFDSForwardingStream(std::unique_ptr<Inner> InnerStream) : FInnerStream(std::move(InnerStream)) {}

private:
    std::unique_ptr<Inner> FInnerStream;
};

// A compressor plug-in. Derived is constructed from the registry's arguments
// and makes its adapter from them; the destination (SourceStream) is not
// owned and must outlive the compressor.
template <class Derived, class Inner>
class TSFDSForwardingCompressor : public TSFDSForwardingStream<TSFDSCompressor, Inner> {
public:
    static std::unique_ptr<TSFDSCompressor> Create(TStream* SourceStream, TSFDSCompressionLevel CompressionLevel,
                                                   TSFDSCompressionStrategy CompressionStrategy) {
        return std::make_unique<Derived>(SourceStream, CompressionLevel, CompressionStrategy);
    }

    void Finish() override { this->InnerStream().Finish(); }

protected:
    using TSFDSForwardingStream<TSFDSCompressor, Inner>::TSFDSForwardingStream;

    // Raises ESFDSNilSourceStream for a null destination.
    static TStream& RequireSource(TStream* SourceStream) {
        if (!SourceStream) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
        return *SourceStream;
    }
};

// A decompressor plug-in over an entry decompression stream (Inner, made from
// the source and its size). Takes ownership of SourceStream: one stored
// item's compressed bytes from its position 0 to its end.
template <class Inner>
class TSFDSForwardingDecompressor : public TSFDSForwardingStream<TSFDSDecompressor, Inner> {
public:
    TSFDSForwardingDecompressor(std::unique_ptr<TStream> SourceStream, std::int64_t SourceStreamSize)
        : TSFDSForwardingStream<TSFDSDecompressor, Inner>(
              std::make_unique<Inner>(std::move(SourceStream), SourceStreamSize)) {}

    static std::unique_ptr<TSFDSDecompressor> Create(std::unique_ptr<TStream> SourceStream,
                                                     std::int64_t SourceStreamSize) {
        return std::make_unique<TSFDSForwardingDecompressor>(std::move(SourceStream), SourceStreamSize);
    }
};
