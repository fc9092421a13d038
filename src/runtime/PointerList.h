// An ordered list that owns what its elements point to. Index checks raise the
// list index error, as every list of the system does.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"

template <typename T>
class TOwningList {
public:
    TOwningList() = default;
    TOwningList(const TOwningList&) = delete;
    TOwningList& operator=(const TOwningList&) = delete;
    virtual ~TOwningList() = default;

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    T* Items(std::int32_t Index) const {
        CheckIndex(Index);
        return FItems[static_cast<std::size_t>(Index)].get();
    }
    std::int32_t Add(std::unique_ptr<T> Item) {
        FItems.push_back(std::move(Item));
        return Count() - 1;
    }
    void Delete(std::int32_t Index) {
        CheckIndex(Index);
        FItems.erase(FItems.begin() + Index);
    }
    // Hands the element back to the caller without freeing it.
    std::unique_ptr<T> Extract(std::int32_t Index) {
        CheckIndex(Index);
        std::unique_ptr<T> Item = std::move(FItems[static_cast<std::size_t>(Index)]);
        FItems.erase(FItems.begin() + Index);
        return Item;
    }
    std::int32_t IndexOf(const T* Item) const {
        for (std::size_t I = 0; I < FItems.size(); ++I)
            if (FItems[I].get() == Item) return static_cast<std::int32_t>(I);
        return -1;
    }
    void Clear() { FItems.clear(); }
    void Reserve(std::size_t N) { FItems.reserve(N); }

protected:
    void CheckIndex(std::int32_t Index) const {
        if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    }

private:
    std::vector<std::unique_ptr<T>> FItems;
};
