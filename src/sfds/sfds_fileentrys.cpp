#include "sfds/sfds_fileentrys.h"

#include <memory>
#include <new>

#include "runtime/CodePage.h"
#include "runtime/RtlConsts.h"

namespace {

bool AsciiConvertsToItself() {
    std::string All;
    for (int C = 1; C < 0x80; ++C) All += static_cast<char>(C);
    const std::u16string U = AnsiToUnicode(All);
    if (U.size() != All.size()) return false;
    for (std::size_t I = 0; I < All.size(); ++I)
        if (U[I] != static_cast<char16_t>(All[I])) return false;
    return true;
}

}  // namespace

TSFDS_FileEntrys::TSFDS_FileEntrys() : FAsciiIsIdentity(AsciiConvertsToItself()) {}

std::u16string TSFDS_FileEntrys::Key(const std::string& Name) const {
    std::u16string U;
    bool Ascii = FAsciiIsIdentity;
    for (std::size_t I = 0; Ascii && I < Name.size(); ++I) Ascii = static_cast<unsigned char>(Name[I]) < 0x80;
    if (Ascii) U.assign(Name.begin(), Name.end());
    else U = AnsiToUnicode(Name);
    for (char16_t& C : U)
        if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - (u'a' - u'A'));
    return U;
}

std::int32_t TSFDS_FileEntrys::AddEntry(const SFDS_FileEntryRecord& Entry) {
    std::int32_t Index = -1;
    try {
        std::u16string NameKey = Key(Entry.FileName);
        std::u16string OriginalKey =
            Entry.OriginalFileName == Entry.FileName ? NameKey : Key(Entry.OriginalFileName);
        auto Record = std::make_unique<SFDS_FileEntryRecord>(Entry);
        Index = Add(std::move(Record));  // leaves the list unchanged when it fails
        // emplace keeps the first index of a name: later duplicates are never found by name.
        FByName.emplace(std::move(NameKey), Index);
        FByOriginalName.emplace(std::move(OriginalKey), Index);
    } catch (const std::bad_alloc&) {
        if (Index >= 0) {
            // An index insertion failed after the record went in: take it out again.
            for (TNameIndex* Map : {&FByName, &FByOriginalName})
                for (auto It = Map->begin(); It != Map->end(); ++It)
                    if (It->second == Index) {
                        Map->erase(It);
                        break;
                    }
            static_cast<void>(Extract(Index));
        }
        throw EOutOfMemory(SOutOfMemory);
    }
    return Index;
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::Lookup(const TNameIndex& Index, const std::string& Name) const {
    const auto It = Index.find(Key(Name));
    return It == Index.end() ? nullptr : Items(It->second);
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::FindEntry(const std::string& FileName) const {
    return Lookup(FByName, FileName);
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::FindEntryOriginal(const std::string& OriginalFileName) const {
    return Lookup(FByOriginalName, OriginalFileName);
}

std::int32_t TSFDS_FileEntrys::IndexOfName(const std::string& FileName) const {
    const auto It = FByName.find(Key(FileName));
    return It == FByName.end() ? -1 : It->second;
}

std::int64_t TSFDS_FileEntrys::FileSize(const std::string& FileName) const {
    const PSFDS_FileEntryRecord E = FindEntry(FileName);
    return E ? E->FileSize : 0;
}

std::int32_t TSFDS_FileEntrys::FileAttributes(const std::string& FileName) const {
    const PSFDS_FileEntryRecord E = FindEntry(FileName);
    return E ? E->FileAttributes : 0;
}

void TSFDS_FileEntrys::Clear() {
    FByName.clear();
    FByOriginalName.clear();
    TOwningList::Clear();
}

void TSFDS_FileEntrys::Reserve(std::size_t N) {
    TOwningList::Reserve(N);
    FByName.reserve(N);
    FByOriginalName.reserve(N);
}
