#include "sfds/sfds_searchutils.h"

#include <string>
#include <vector>

#include "runtime/CodePage.h"

namespace {

struct TCursor {
    const char* Begin;
    const char* End;
    std::size_t CharLength(std::size_t At) const { return AnsiCharLength(Begin + At, End); }
    bool Is(std::size_t At, char C) const { return Begin + At < End && Begin[At] == C && CharLength(At) == 1; }
    std::size_t Size() const { return static_cast<std::size_t>(End - Begin); }
};

}  // namespace

bool SFDS_MatchesMask(std::string_view Name, std::string_view Mask) {
    // The backtracking matcher in loop form. A `*` tries the rest of the name
    // from each starting point; once the mask reaches a later `*`, that one
    // decides (it either matches or has run out of name, and then no earlier
    // `*` can do better), so only the latest `*` ever needs to try its next
    // point. Memory stays constant and hostile masks cannot exhaust the stack.
    const TCursor N{Name.data(), Name.data() + Name.size()};
    const TCursor M{Mask.data(), Mask.data() + Mask.size()};
    std::size_t Ni = 0, Mi = 0;
    bool HaveStar = false;
    std::size_t StarMask = 0, StarName = 0;  // mask after the latest `*`, its current starting point
    for (;;) {
        bool Failed = false;
        if (Mi >= M.Size()) {
            if (Ni >= N.Size()) return true;
            Failed = true;
        } else if (M.Is(Mi, '*')) {
            while (M.Is(Mi, '*')) ++Mi;
            if (Mi >= M.Size()) return true;
            // No starting point left before the end of the name: no match at all.
            if (Ni >= N.Size()) return false;
            HaveStar = true;
            StarMask = Mi;
            StarName = Ni;
            continue;
        } else {
            const std::size_t MLen = M.CharLength(Mi);
            const std::size_t NLen = Ni < N.Size() ? N.CharLength(Ni) : 0;
            if (M.Is(Mi, '?')) {
                Mi += 1;
                Ni += NLen;  // an exhausted name stays at its end
                continue;
            }
            if (NLen == MLen && Name.compare(Ni, NLen, Mask.substr(Mi, MLen)) == 0) {
                Mi += MLen;
                Ni += NLen;
                continue;
            }
            Failed = true;
        }
        if (Failed) {
            if (!HaveStar) return false;
            StarName += N.CharLength(StarName);
            if (StarName >= N.Size()) return false;
            Mi = StarMask;
            Ni = StarName;
        }
    }
}

namespace {

// Characters after the last `\` or `/`; the whole name when it has neither.
std::string_view LastComponent(std::string_view FileName) {
    const TCursor C{FileName.data(), FileName.data() + FileName.size()};
    std::size_t Start = 0;
    for (std::size_t I = 0; I < C.Size(); I += C.CharLength(I))
        if (C.Is(I, '\\') || C.Is(I, '/')) Start = I + 1;
    return FileName.substr(Start);
}

}  // namespace

bool SFDS_MatchesMaskList(std::string_view FileName, std::string_view Masks) {
    while (!Masks.empty() && static_cast<unsigned char>(Masks.front()) <= 32) Masks.remove_prefix(1);
    while (!Masks.empty() && static_cast<unsigned char>(Masks.back()) <= 32) Masks.remove_suffix(1);

    std::vector<std::string_view> Items;
    const TCursor C{Masks.data(), Masks.data() + Masks.size()};
    std::size_t ItemStart = 0;
    for (std::size_t I = 0; I < C.Size(); I += C.CharLength(I)) {
        if (C.Is(I, ';')) {
            Items.push_back(Masks.substr(ItemStart, I - ItemStart));
            ItemStart = I + 1;
        }
    }
    Items.push_back(Masks.substr(ItemStart));

    const std::string LowName = AnsiLowerCase(FileName);
    const std::string LowLast = AnsiLowerCase(LastComponent(FileName));
    for (std::string_view Item : Items) {
        if (Item == "*.*") return true;
        const std::string LowMask = AnsiLowerCase(Item);
        if (SFDS_MatchesMask(LowName, LowMask) || SFDS_MatchesMask(LowLast, LowMask)) return true;
    }
    return false;
}
