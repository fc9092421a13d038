// The 8-bit strings of an entry record (its names and its extra text), made
// cheap to hold in bulk. A string either owns its bytes or, inside an entry
// table, refers to bytes that the table keeps in its own arena for as long
// as the record lives. Only the table makes such references; every copy or
// move of one owns its bytes, so a record taken out of a table stays valid
// after the table is gone.
//
// Reading works as with std::string (data, c_str, size, comparisons); a
// caller that needs a std::string gets a copy by conversion or str().
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

class TSFDSEntryString {
public:
    TSFDSEntryString() noexcept = default;
    explicit TSFDSEntryString(std::string_view Text) { Assign(Text); }
    TSFDSEntryString(const TSFDSEntryString& Other) { Assign(Other.View()); }
    TSFDSEntryString(TSFDSEntryString&& Other) { Take(Other); }
    ~TSFDSEntryString() { Release(); }

    TSFDSEntryString& operator=(const TSFDSEntryString& Other);
    TSFDSEntryString& operator=(TSFDSEntryString&& Other);
    TSFDSEntryString& operator=(std::string_view Text);
    TSFDSEntryString& operator=(const std::string& Text) { return *this = std::string_view(Text); }
    TSFDSEntryString& operator=(const char* Text) { return *this = std::string_view(Text); }

    // Always NUL-terminated.
    const char* data() const noexcept { return FData; }
    const char* c_str() const noexcept { return FData; }
    std::size_t size() const noexcept { return FSize; }
    std::size_t length() const noexcept { return FSize; }
    bool empty() const noexcept { return FSize == 0; }
    char operator[](std::size_t Index) const noexcept { return FData[Index]; }
    const char* begin() const noexcept { return FData; }
    const char* end() const noexcept { return FData + FSize; }

    std::string_view View() const noexcept { return {FData, FSize}; }
    std::string str() const { return std::string(FData, FSize); }
    operator std::string() const { return str(); }

    // Lets go of what this string holds and refers to Text instead, which
    // the caller keeps alive, unchanged and followed by a NUL for as long as
    // this string refers to it. For the entry table's arena only.
    void Refer(std::string_view Text) noexcept;

    friend bool operator==(const TSFDSEntryString& A, const TSFDSEntryString& B) noexcept {
        return A.View() == B.View();
    }
    friend bool operator==(const TSFDSEntryString& A, std::string_view B) noexcept { return A.View() == B; }
    friend bool operator==(const TSFDSEntryString& A, const std::string& B) noexcept { return A.View() == B; }
    friend bool operator==(const TSFDSEntryString& A, const char* B) noexcept { return A.View() == B; }
    friend std::string operator+(const TSFDSEntryString& A, std::string_view B) {
        std::string S = A.str();
        S += B;
        return S;
    }
    friend std::string operator+(std::string_view A, const TSFDSEntryString& B) {
        std::string S(A);
        S += B.View();
        return S;
    }
    friend std::ostream& operator<<(std::ostream& Out, const TSFDSEntryString& S) { return Out << S.View(); }

private:
    void Assign(std::string_view Text);
    void Take(TSFDSEntryString& Other);
    void Release() noexcept;

    static constexpr char Empty[1] = {'\0'};
    const char* FData = Empty;
    std::uint32_t FSize = 0;
    bool FOwned = false;
};
