// The codec plug-ins are thin shells around the stream adapters: the registry
// needs TSFDSCompressor/TSFDSDecompressor descendants, the work is done by an
// adapter the shell owns. This is the shell's stream part, shared by all of
// them.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "runtime/Stream.h"

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
