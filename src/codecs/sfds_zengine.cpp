#include "codecs/sfds_zengine.h"

#include <atomic>
#include <string>

namespace {

std::atomic<TZEngine>& DefaultEngine() {
    static std::atomic<TZEngine> Engine{ZFastEngineAvailable() ? TZEngine::Fast : TZEngine::ZLib};
    return Engine;
}

std::atomic<bool> PreferWhole{false};

bool WholeFirst() {
    return ZStreamInflaterLibrary() == nullptr || PreferWhole.load(std::memory_order_relaxed);
}

}  // namespace

std::unique_ptr<TZFastInflater> ZNewFastInflater(TZSizeHint Hint) {
    if (WholeFirst() && ZWholeInflaterLibrary() != nullptr) return ZNewWholeInflater(Hint);
    return ZNewStreamInflater();
}

const char* ZFastInflaterLibrary() {
    if (WholeFirst() && ZWholeInflaterLibrary() != nullptr) return ZWholeInflaterLibrary();
    return ZStreamInflaterLibrary();
}

void ZPreferWholeInflater(bool Prefer) { PreferWhole.store(Prefer, std::memory_order_relaxed); }

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
    const auto Make = [](const char* In) {
        const char* Out = ZFastDeflaterLibrary();
        return std::string(In != nullptr ? In : "zlib inflate") + ", " + (Out != nullptr ? Out : "zlib deflate");
    };
    static const std::string Streaming = Make(ZStreamInflaterLibrary());
    static const std::string Whole = Make(ZWholeInflaterLibrary());
    const char* In = ZFastInflaterLibrary();
    return (In != nullptr && In == ZWholeInflaterLibrary() ? Whole : Streaming).c_str();
}

TZEngine ZDefaultEngine() { return DefaultEngine().load(std::memory_order_relaxed); }

void ZSetDefaultEngine(TZEngine Engine) {
    DefaultEngine().store(ZFastEngineAvailable() ? Engine : TZEngine::ZLib, std::memory_order_relaxed);
}
