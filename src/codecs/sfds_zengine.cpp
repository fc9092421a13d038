#include "codecs/sfds_zengine.h"

#include <atomic>
#include <string>

namespace {

std::atomic<TZEngine>& DefaultEngine() {
    static std::atomic<TZEngine> Engine{ZFastEngineAvailable() ? TZEngine::Fast : TZEngine::ZLib};
    return Engine;
}

}  // namespace

bool ZFastEngineAvailable() { return ZFastInflaterLibrary() != nullptr || ZFastDeflaterLibrary() != nullptr; }

bool ZFastInflateAvailable() { return ZFastInflaterLibrary() != nullptr; }

bool ZFastDeflateAvailable() { return ZFastDeflaterLibrary() != nullptr; }

std::vector<TZEngine> ZAvailableEngines() {
    std::vector<TZEngine> Engines{TZEngine::ZLib};
    if (ZFastEngineAvailable()) Engines.push_back(TZEngine::Fast);
    return Engines;
}

const char* ZEngineName(TZEngine Engine) {
    if (Engine != TZEngine::Fast || !ZFastEngineAvailable()) return "zlib";
    // "ISA-L inflate, libdeflate deflate", or one part and zlib for the other.
    static const std::string Name = [] {
        const char* In = ZFastInflaterLibrary();
        const char* Out = ZFastDeflaterLibrary();
        return std::string(In != nullptr ? In : "zlib inflate") + ", " + (Out != nullptr ? Out : "zlib deflate");
    }();
    return Name.c_str();
}

TZEngine ZDefaultEngine() { return DefaultEngine().load(std::memory_order_relaxed); }

void ZSetDefaultEngine(TZEngine Engine) {
    DefaultEngine().store(ZFastEngineAvailable() ? Engine : TZEngine::ZLib, std::memory_order_relaxed);
}
