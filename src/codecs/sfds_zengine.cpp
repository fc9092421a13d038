#include "codecs/sfds_zengine.h"

#include <atomic>

namespace {

std::atomic<TZEngine>& DefaultEngine() {
    static std::atomic<TZEngine> Engine{ZFastEngineAvailable() ? TZEngine::Fast : TZEngine::ZLib};
    return Engine;
}

}  // namespace

std::vector<TZEngine> ZAvailableEngines() {
    std::vector<TZEngine> Engines{TZEngine::ZLib};
    if (ZFastEngineAvailable()) Engines.push_back(TZEngine::Fast);
    return Engines;
}

const char* ZEngineName(TZEngine Engine) {
    return Engine == TZEngine::Fast && ZFastEngineAvailable() ? ZFastEngineLibraries() : "zlib";
}

TZEngine ZDefaultEngine() { return DefaultEngine().load(std::memory_order_relaxed); }

void ZSetDefaultEngine(TZEngine Engine) {
    DefaultEngine().store(ZFastEngineAvailable() ? Engine : TZEngine::ZLib, std::memory_order_relaxed);
}
