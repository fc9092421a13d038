#include "sfds/sfds_entrystring.h"

#include <cstring>
#include <limits>
#include <new>

TSFDSEntryString& TSFDSEntryString::operator=(const TSFDSEntryString& Other) {
    if (this != &Other) *this = Other.View();
    return *this;
}

TSFDSEntryString& TSFDSEntryString::operator=(TSFDSEntryString&& Other) {
    if (this != &Other) {
        Release();
        Take(Other);
    }
    return *this;
}

TSFDSEntryString& TSFDSEntryString::operator=(std::string_view Text) {
    // Text may lie inside this string: copy it before letting go.
    TSFDSEntryString Copy(Text);
    Release();
    Take(Copy);
    return *this;
}

void TSFDSEntryString::Refer(std::string_view Text) noexcept {
    Release();
    if (Text.empty()) return;
    FData = Text.data();
    FSize = static_cast<std::uint32_t>(Text.size());
}

void TSFDSEntryString::Assign(std::string_view Text) {
    if (Text.empty()) return;
    if (Text.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    char* P = new char[Text.size() + 1];
    std::memcpy(P, Text.data(), Text.size());
    P[Text.size()] = '\0';
    FData = P;
    FSize = static_cast<std::uint32_t>(Text.size());
    FOwned = true;
}

void TSFDSEntryString::Take(TSFDSEntryString& Other) {
    if (!Other.FOwned) {
        // A reference into a table's arena is copied: the new string owns.
        Assign(Other.View());
        return;
    }
    FData = Other.FData;
    FSize = Other.FSize;
    FOwned = true;
    Other.FData = Empty;
    Other.FSize = 0;
    Other.FOwned = false;
}

void TSFDSEntryString::Release() noexcept {
    if (FOwned) delete[] FData;
    FData = Empty;
    FSize = 0;
    FOwned = false;
}
