#include "sfds/sfds_fileentrys.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/LittleEndian.h"
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

std::u16string FoldedUnicode(std::string_view Name) {
    std::u16string U = AnsiToUnicode(Name);
    for (char16_t& C : U) C = UpperAsciiChar(C);
    return U;
}

// Two interleaved lanes of multiply-xorshift over 64-bit words, then a final
// mix. Equal names must hash equally whichever way they were read, so a name
// is hashed by its folded UTF-16 units: when all of them are 7-bit, as those
// units narrowed to bytes (which is what the 7-bit path reads straight from
// the name), otherwise as the units themselves.
class TWordHasher {
public:
    // The lanes take turns: the one just mixed moves behind the other.
    void Add(std::uint64_t Word) {
        std::uint64_t X = (FFirst ^ Word) * 0x9E3779B97F4A7C15ull;
        X ^= X >> 29;
        FFirst = FSecond;
        FSecond = X;
    }
    std::uint32_t Finish(std::uint64_t Length) const {
        std::uint64_t H = FFirst ^ (FSecond * 0xC2B2AE3D27D4EB4Full) ^ Length;
        H ^= H >> 33;
        H *= 0xFF51AFD7ED558CCDull;
        H ^= H >> 33;
        H *= 0xC4CEB9FE1A85EC53ull;
        H ^= H >> 33;
        return static_cast<std::uint32_t>(H);
    }

private:
    std::uint64_t FFirst = 0x243F6A8885A308D3ull;
    std::uint64_t FSecond = 0x13198A2E03707344ull;
};

constexpr std::uint64_t EveryByte(std::uint8_t B) { return 0x0101010101010101ull * B; }
constexpr std::uint64_t HighBits = EveryByte(0x80);

// Eight 7-bit bytes with a-z folded to A-Z, every byte at once: a byte gets
// 0x20 taken off when it is at least 'a' and not above 'z'. No byte is above
// 0x7F, so no sum carries into its neighbour.
std::uint64_t FoldAsciiWord(std::uint64_t W) {
    const std::uint64_t AtLeastA = (W + EveryByte(0x80 - 'a')) & HighBits;
    const std::uint64_t AboveZ = (W + EveryByte(0x80 - 'z' - 1)) & HighBits;
    return W - ((AtLeastA & ~AboveZ) >> 2);
}

inline std::uint64_t Load8(const char* P) { return LoadLE<std::uint64_t>(P); }

// The bytes from I on (at most eight) of the Size bytes at P, as a
// little-endian word with zeros above them. A short last piece of a longer
// name comes from one load ending at the name's end.
inline std::uint64_t WordAt(const char* P, std::size_t Size, std::size_t I) {
    const std::size_t Rest = Size - I;
    if (Rest >= 8) return Load8(P + I);
    if (Size >= 8) return Load8(P + Size - 8) >> (8 * (8 - Rest));
    std::uint64_t W = 0;
    for (std::size_t K = 0; K < Rest; ++K) W |= static_cast<std::uint64_t>(static_cast<unsigned char>(P[I + K])) << (8 * K);
    return W;
}

// False when a byte is not 7-bit.
bool HashAsciiBytes(const char* P, std::size_t Size, std::uint32_t& Hash) {
    TWordHasher H;
    std::size_t I = 0;
    for (; Size - I >= 8; I += 8) {
        const std::uint64_t W = Load8(P + I);
        if ((W & HighBits) != 0) return false;
        H.Add(FoldAsciiWord(W));
    }
    if (I < Size) {
        const std::uint64_t W = WordAt(P, Size, I);
        if ((W & HighBits) != 0) return false;
        H.Add(FoldAsciiWord(W));
    }
    Hash = H.Finish(Size);
    return true;
}

std::uint32_t HashFoldedUnits(const std::u16string& U) {
    if (std::all_of(U.begin(), U.end(), [](char16_t C) { return C < 0x80; })) {
        const std::string Bytes(U.begin(), U.end());
        std::uint32_t Hash = 0;
        HashAsciiBytes(Bytes.data(), Bytes.size(), Hash);
        return Hash;
    }
    TWordHasher H;
    for (std::size_t I = 0; I < U.size(); I += 4) {
        std::uint64_t W = 0;
        for (std::size_t K = 0; K < 4 && I + K < U.size(); ++K) W |= static_cast<std::uint64_t>(U[I + K]) << (16 * K);
        H.Add(W);
    }
    return H.Finish(U.size());
}

}  // namespace

// A name ready for the index: its hash and, for a name that went through the
// converter, its folded UTF-16 form (needed again when a hash matches).
struct TSFDS_FileEntrys::TKey {
    std::string_view Name;
    std::uint32_t Hash = 0;
    bool FastAscii = false;
    std::u16string Folded;
};

TSFDS_FileEntrys::TSFDS_FileEntrys() : FAsciiIsIdentity(AsciiConvertsToItself()) {}

bool TSFDS_FileEntrys::IsFastAscii(std::string_view Name) const {
    if (!FAsciiIsIdentity) return false;
    for (const char C : Name)
        if (static_cast<unsigned char>(C) >= 0x80) return false;
    return true;
}

bool TSFDS_FileEntrys::FastAsciiHash(std::string_view Name, std::uint32_t& Hash) const noexcept {
    return FAsciiIsIdentity && HashAsciiBytes(Name.data(), Name.size(), Hash);
}

TSFDS_FileEntrys::TKey TSFDS_FileEntrys::MakeKey(std::string_view Name) const {
    TKey Key;
    Key.Name = Name;
    if (FastAsciiHash(Name, Key.Hash)) {
        Key.FastAscii = true;
        return Key;
    }
    Key.Folded = FoldedUnicode(Name);
    Key.Hash = HashFoldedUnits(Key.Folded);
    return Key;
}

void TSFDS_FileEntrys::PrefetchName(const std::string& FileName) const noexcept {
    std::uint32_t Hash = 0;
    if (FByName.Slots.empty() || !FastAsciiHash(FileName, Hash)) return;
    __builtin_prefetch(&FByName.Slots[Hash & (FByName.Slots.size() - 1)]);
}

bool TSFDS_FileEntrys::Matches(const TKey& Key, std::string_view Stored) const {
    const std::string_view Name = Key.Name;
    if (Key.FastAscii) {
        // Both 7-bit: folded bytes decide. The walk goes on after a
        // difference, since a stored name with other bytes further on must
        // go through the converter instead.
        if (Name.size() != Stored.size()) {
            if (IsFastAscii(Stored)) return false;
        } else {
            std::uint64_t High = 0;
            std::uint64_t Differs = 0;
            for (std::size_t I = 0; I < Name.size(); I += 8) {
                const std::uint64_t A = WordAt(Name.data(), Name.size(), I);
                const std::uint64_t B = WordAt(Stored.data(), Stored.size(), I);
                High |= B;
                Differs |= FoldAsciiWord(A) ^ FoldAsciiWord(B & ~HighBits);
            }
            if ((High & HighBits) == 0) return Differs == 0;
        }
    }
    const std::u16string S = FoldedUnicode(Stored);
    if (!Key.FastAscii) return S == Key.Folded;
    if (S.size() != Name.size()) return false;
    for (std::size_t I = 0; I < S.size(); ++I)
        if (S[I] != UpperAsciiChar(static_cast<unsigned char>(Name[I]))) return false;
    return true;
}

std::int32_t TSFDS_FileEntrys::Find(const TNameIndex& Index, TNameField Field, const TKey& Key) const {
    if (Index.Slots.empty()) return -1;
    const std::size_t Mask = Index.Slots.size() - 1;
    for (std::size_t P = Key.Hash & Mask;; P = (P + 1) & Mask) {
        const TSlot& S = Index.Slots[P];
        if (S.Index < 0) return -1;
        if (S.Hash == Key.Hash && Matches(Key, (Items(S.Index)->*Field).View())) return S.Index;
    }
}

std::int64_t TSFDS_FileEntrys::SlotForInsert(const TNameIndex& Index, TNameField Field, const TKey& Key) const {
    const std::size_t Mask = Index.Slots.size() - 1;
    for (std::size_t P = Key.Hash & Mask;; P = (P + 1) & Mask) {
        const TSlot& S = Index.Slots[P];
        if (S.Index < 0) return static_cast<std::int64_t>(P);
        if (S.Hash == Key.Hash && Matches(Key, (Items(S.Index)->*Field).View())) return -1;
    }
}

void TSFDS_FileEntrys::Grow(TNameIndex& Index, std::size_t Entries) {
    if (Entries <= Index.Slots.size() / 2) return;
    std::size_t Size = 16;
    while (Size / 2 < Entries) Size *= 2;
    std::vector<TSlot> Slots(Size);
    const std::size_t Mask = Size - 1;
    for (const TSlot& S : Index.Slots) {
        if (S.Index < 0) continue;
        std::size_t P = S.Hash & Mask;
        while (Slots[P].Index >= 0) P = (P + 1) & Mask;
        Slots[P] = S;
    }
    Index.Slots = std::move(Slots);
}

std::int32_t TSFDS_FileEntrys::Append(SFDS_FileEntryRecord&& Entry) {
    // Everything that can fail runs before the table changes: a block and
    // index room, the keys, the probes (which may convert stored names).
    if (FCount == std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
    const std::int32_t Index = FCount;
    if (Index >> BlockShift == static_cast<std::int32_t>(FBlocks.size()))
        FBlocks.push_back(std::make_unique<SFDS_FileEntryRecord[]>(BlockSize));
    // Most records store their name unchanged: it is kept once for both.
    const bool SameOriginal = Entry.OriginalFileName == Entry.FileName;
    auto TextRoom = [](const TSFDSEntryString& Text) { return Text.empty() ? 0 : Text.size() + 1; };
    ReserveText(TextRoom(Entry.FileName) + (SameOriginal ? 0 : TextRoom(Entry.OriginalFileName)) +
                TextRoom(Entry.ExtraDataStr));
    Grow(FByName, FByName.Used + 1);
    const TKey NameKey = MakeKey(Entry.FileName.View());
    const std::int64_t NameSlot = SlotForInsert(FByName, &SFDS_FileEntryRecord::FileName, NameKey);

    std::int64_t OriginalSlot = -1;
    std::uint32_t OriginalHash = 0;
    if (FOriginalIndexed.load(std::memory_order_relaxed)) {
        Grow(FByOriginalName, FByOriginalName.Used + 1);
        TKey OtherKey;
        const TKey* Key = &NameKey;
        if (Entry.OriginalFileName != Entry.FileName) {
            OtherKey = MakeKey(Entry.OriginalFileName.View());
            Key = &OtherKey;
        }
        OriginalSlot = SlotForInsert(FByOriginalName, &SFDS_FileEntryRecord::OriginalFileName, *Key);
        OriginalHash = Key->Hash;
    }

    SFDS_FileEntryRecord& Stored = FBlocks[static_cast<std::size_t>(Index >> BlockShift)][Index & (BlockSize - 1)];
    Stored = std::move(Entry);
    StoreText(Stored.FileName, Stored.FileName.View());
    if (SameOriginal) Stored.OriginalFileName.Refer(Stored.FileName.View());
    else StoreText(Stored.OriginalFileName, Stored.OriginalFileName.View());
    StoreText(Stored.ExtraDataStr, Stored.ExtraDataStr.View());
    ++FCount;
    // A name already indexed keeps its first record: later duplicates are
    // never found by name.
    if (NameSlot >= 0) {
        FByName.Slots[static_cast<std::size_t>(NameSlot)] = {NameKey.Hash, Index};
        ++FByName.Used;
    }
    if (OriginalSlot >= 0) {
        FByOriginalName.Slots[static_cast<std::size_t>(OriginalSlot)] = {OriginalHash, Index};
        ++FByOriginalName.Used;
    }
    return Index;
}

void TSFDS_FileEntrys::ReserveText(std::size_t Size) {
    if (FArenaSize - FArenaUsed >= Size) return;
    // Large enough that a table makes few of them; a longer text gets a
    // chunk of its own size.
    constexpr std::size_t ChunkSize = 64 * 1024;
    const std::size_t NewSize = std::max(ChunkSize, Size);
    FArena.reserve(FArena.size() + 1);
    FArena.push_back(std::make_unique_for_overwrite<char[]>(NewSize));
    FArenaUsed = 0;
    FArenaSize = NewSize;
}

void TSFDS_FileEntrys::StoreText(TSFDSEntryString& Field, std::string_view Text) noexcept {
    if (Text.empty()) {
        Field.Refer(Text);
        return;
    }
    char* P = FArena.back().get() + FArenaUsed;
    std::memcpy(P, Text.data(), Text.size());
    P[Text.size()] = '\0';
    FArenaUsed += Text.size() + 1;
    // Text may be what Field owns: it is let go only after the copy.
    Field.Refer(std::string_view(P, Text.size()));
}

std::int32_t TSFDS_FileEntrys::AddEntry(const SFDS_FileEntryRecord& Entry) {
    try {
        return Append(SFDS_FileEntryRecord(Entry));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SOutOfMemory);
    }
}

std::int32_t TSFDS_FileEntrys::AddEntry(SFDS_FileEntryRecord&& Entry) {
    try {
        return Append(std::move(Entry));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SOutOfMemory);
    }
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::Items(std::int32_t Index) const {
    if (Index < 0 || Index >= FCount) throw EListError(Format(SListIndexError, Index));
    return &FBlocks[static_cast<std::size_t>(Index >> BlockShift)][Index & (BlockSize - 1)];
}

std::int32_t TSFDS_FileEntrys::IndexOf(const SFDS_FileEntryRecord* Item) const {
    for (std::size_t B = 0; B < FBlocks.size(); ++B) {
        const SFDS_FileEntryRecord* First = FBlocks[B].get();
        if (std::less_equal<>()(First, Item) && std::less<>()(Item, First + BlockSize)) {
            const auto I = static_cast<std::int64_t>(B) * BlockSize + (Item - First);
            return I < FCount ? static_cast<std::int32_t>(I) : -1;
        }
    }
    return -1;
}

const TSFDS_FileEntrys::TNameIndex& TSFDS_FileEntrys::OriginalIndex() const {
    if (FOriginalIndexed.load(std::memory_order_acquire)) return FByOriginalName;
    // Two const look-ups may meet here on different threads: one builds,
    // the other waits for it.
    const std::lock_guard<std::mutex> Lock(FOriginalIndexLock);
    if (FOriginalIndexed.load(std::memory_order_relaxed)) return FByOriginalName;
    try {
        // Built aside in table order, so that each name keeps its first record.
        TNameIndex Built;
        Grow(Built, static_cast<std::size_t>(FCount));
        for (std::int32_t I = 0; I < FCount; ++I) {
            const TKey Key = MakeKey(Items(I)->OriginalFileName.View());
            const std::int64_t Slot = SlotForInsert(Built, &SFDS_FileEntryRecord::OriginalFileName, Key);
            if (Slot < 0) continue;
            Built.Slots[static_cast<std::size_t>(Slot)] = {Key.Hash, I};
            ++Built.Used;
        }
        FByOriginalName = std::move(Built);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SOutOfMemory);
    }
    FOriginalIndexed.store(true, std::memory_order_release);
    return FByOriginalName;
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::FindEntry(const std::string& FileName) const {
    const std::int32_t I = IndexOfName(FileName);
    return I < 0 ? nullptr : Items(I);
}

PSFDS_FileEntryRecord TSFDS_FileEntrys::FindEntryOriginal(const std::string& OriginalFileName) const {
    const std::int32_t I =
        Find(OriginalIndex(), &SFDS_FileEntryRecord::OriginalFileName, MakeKey(OriginalFileName));
    return I < 0 ? nullptr : Items(I);
}

std::int32_t TSFDS_FileEntrys::IndexOfName(const std::string& FileName) const {
    return Find(FByName, &SFDS_FileEntryRecord::FileName, MakeKey(FileName));
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
    FByName = TNameIndex();
    FByOriginalName = TNameIndex();
    FOriginalIndexed.store(false, std::memory_order_relaxed);
    FBlocks.clear();
    FBlocks.shrink_to_fit();
    FArena.clear();
    FArena.shrink_to_fit();
    FArenaUsed = 0;
    FArenaSize = 0;
    FCount = 0;
}

void TSFDS_FileEntrys::Reserve(std::size_t N) {
    FBlocks.reserve((N + BlockSize - 1) / BlockSize);
    Grow(FByName, N);
}
