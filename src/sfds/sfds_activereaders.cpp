#include "sfds/sfds_activereaders.h"

#include <memory>

#include "runtime/CodePage.h"
#include "sfds/sfds_reader.h"

namespace {

std::unique_ptr<TSFDS_ActiveReaders>& ActiveReaders() {
    static std::unique_ptr<TSFDS_ActiveReaders> List;
    return List;
}

std::u16string FoldedName(const std::string& Name) {
    std::u16string U = AnsiToUnicode(Name);
    for (char16_t& C : U)
        if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - (u'a' - u'A'));
    return U;
}

}  // namespace

std::int32_t TSFDS_ActiveReaders::AddReader(TSFDSCustomReader* Reader) {
    if (Reader == nullptr) return -1;
    auto Cell = std::make_unique<TSFDS_ActiveReaderCell>();
    Cell->Reader = Reader;
    return Add(std::move(Cell));
}

void TSFDS_ActiveReaders::Remove(const TSFDSCustomReader* Reader) {
    for (std::int32_t I = 0; I < Count(); ++I)
        if (TOwningList::Items(I)->Reader == Reader) {
            TOwningList::Items(I)->Reader = nullptr;
            Delete(I);
            return;
        }
}

TSFDSCustomReader* TSFDS_ActiveReaders::FindFile(const std::string& FileName) const {
    const std::u16string Wanted = FoldedName(FileName);
    for (std::int32_t I = 0; I < Count(); ++I) {
        TSFDSCustomReader* Reader = TOwningList::Items(I)->Reader;
        if (FoldedName(Reader->FSFileName()) == Wanted) return Reader;
    }
    return nullptr;
}

TSFDSCustomReader* TSFDS_ActiveReaders::Items(std::int32_t Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return TOwningList::Items(Index)->Reader;
}

TSFDS_ActiveReaders* SFDS_ActiveReaderList() { return ActiveReaders().get(); }

void SFDS_CreateActiveReaderList() {
    if (!ActiveReaders()) ActiveReaders() = std::make_unique<TSFDS_ActiveReaders>();
}

void SFDS_DestroyActiveReaderList() { ActiveReaders().reset(); }

std::int32_t SFDS_ActiveReaderCount() { return ActiveReaders() ? ActiveReaders()->Count() : 0; }

TSFDSCustomReader* SFDS_ActiveReader(std::int32_t Index) {
    return ActiveReaders() ? ActiveReaders()->Items(Index) : nullptr;
}

TSFDSCustomReader* SFDS_FindReader(const std::string& FileName) {
    return ActiveReaders() ? ActiveReaders()->FindFile(FileName) : nullptr;
}
