// Objects the codecs keep for reuse across threads: making one (a deflater's
// tables, the pages of a large buffer) can cost more than the work it is made
// for. Threads take one, use it alone and give it back.
//
// Not thread_local storage: MinGW frees thread_local storage before running
// the destructors of what lives in it, which crashes threads on their way
// out; and a pool lets what threads no longer use be freed.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "sfds/sfds_tuning.h"

// TOwner: a std::unique_ptr to what is kept.
template <typename TOwner>
class TKeptPool {
public:
    // Keeps at most Keep objects given back (by default as many as threads
    // run at once); the ones beyond are freed.
    explicit TKeptPool(std::size_t Keep = SFDS_KeptObjects()) : FKeep(Keep) {}

    // One given back earlier, or null.
    TOwner Take() {
        std::lock_guard<std::mutex> L(FLock);
        if (FKept.empty()) return TOwner();
        TOwner Object = std::move(FKept.back());
        FKept.pop_back();
        return Object;
    }

    void Give(TOwner Object) {
        if (!Object) return;
        std::lock_guard<std::mutex> L(FLock);
        if (FKept.size() < FKeep) FKept.push_back(std::move(Object));
        // Otherwise Object is freed here, without a room to keep it.
    }

private:
    std::mutex FLock;
    std::vector<TOwner> FKept;
    std::size_t FKeep;
};
