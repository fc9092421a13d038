// The ways this build can inflate zlib streams: zlib, the fast engine, and
// where the build streams with the fast engine but also has the whole-entry
// inflater (the Windows build's), that one too.
#pragma once

#include <string>
#include <vector>

#include "codecs/sfds_zengine.h"

struct TInflateRoute {
    TZEngine Engine;
    bool Whole;
    std::string Name() const {
        return std::string("engine ") + (Whole ? ZWholeInflaterLibrary() : ZEngineName(Engine));
    }
};

inline std::vector<TInflateRoute> InflateRoutes() {
    std::vector<TInflateRoute> Routes;
    for (const TZEngine E : ZAvailableEngines()) Routes.push_back({E, false});
    if (ZFastEngineAvailable() && ZStreamInflaterLibrary() != nullptr && ZWholeInflaterLibrary() != nullptr)
        Routes.push_back({TZEngine::Fast, true});
    return Routes;
}

// New streams in this scope inflate the route's way; the way before comes
// back at its end.
class TInflateRouteScope {
public:
    explicit TInflateRouteScope(const TInflateRoute& Route) : FSaved(ZDefaultEngine()) {
        ZSetDefaultEngine(Route.Engine);
        ZPreferWholeInflater(Route.Whole);
    }
    ~TInflateRouteScope() {
        ZPreferWholeInflater(false);
        ZSetDefaultEngine(FSaved);
    }
    TInflateRouteScope(const TInflateRouteScope&) = delete;
    TInflateRouteScope& operator=(const TInflateRouteScope&) = delete;

private:
    TZEngine FSaved;
};
