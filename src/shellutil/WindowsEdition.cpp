#include "shellutil/WindowsEdition.h"

#include <atomic>
#include <initializer_list>
#include <string_view>

namespace {

// Constant-initialised: no static constructor involved.
std::atomic<std::uint8_t> GWindowsEdition{0};

struct TEditionMarker {
    std::string_view Marker;
    std::uint8_t Code;
};

// The first marker found anywhere in Name (case significant) gives the code;
// the order matters where one marker contains another ("Home Basic N").
std::uint8_t PlaceInFamily(std::string_view Name, std::initializer_list<TEditionMarker> Markers,
                           std::uint8_t Fallback) {
    for (const TEditionMarker& M : Markers)
        if (Name.find(M.Marker) != std::string_view::npos) return M.Code;
    return Fallback;
}

}  // namespace

std::uint8_t EditionFromProductName(const std::string& ProductName) {
    const std::string_view P = ProductName;
    if (P.starts_with("Windows XP"))
        return PlaceInFamily(P,
                             {{"Home Edition N", 3},
                              {"Professional N", 4},
                              {"Home Edition KN", 7},
                              {"Professional KN", 8},
                              {"Home Edition K", 5},
                              {"Professional K", 6},
                              {"Home", 1},
                              {"Professional", 2},
                              {"Starter", 9},
                              {"Media Center", 10},
                              {"Tablet", 11}},
                             0);
    if (P.starts_with("Windows Vista"))
        return PlaceInFamily(P,
                             {{"Starter", 101},
                              {"Home Basic N", 103},
                              {"Home Basic", 102},
                              {"Home Premium", 104},
                              {"Business N", 106},
                              {"Business", 105},
                              {"Enterprise", 107},
                              {"Ultimate", 108}},
                             0);
    if (P.starts_with("Windows 7"))
        return PlaceInFamily(P,
                             {{"Starter", 109},
                              {"Home Basic", 110},
                              {"Home Premium", 111},
                              {"Professional", 112},
                              {"Enterprise", 113},
                              {"Ultimate", 114}},
                             0);
    if (P.starts_with("Windows 8"))
        return PlaceInFamily(P, {{"Pro", 123}, {"Enterprise", 124}, {"Ultimate", 125}}, 122);
    if (P.find("2008") != std::string_view::npos)
        return PlaceInFamily(P,
                             {{"Web", 119},
                              {"Enterprise", 115},
                              {"Standard", 117},
                              {"HPC", 121},
                              {"Itanium", 118},
                              {"Foundation", 120}},
                             116);
    if (P.starts_with("Windows RT")) return 126;
    return 0;
}

std::uint8_t GetWindowsEdition() {
    return EditionFromProductName(ReadMachineRegistryString(WindowsNTCurrentVersionKey, ProductNameValue));
}

std::uint8_t WindowsEdition() { return GWindowsEdition.load(std::memory_order_relaxed); }

void InitWindowsEdition() { SetWindowsEdition(GetWindowsEdition()); }

void SetWindowsEdition(std::uint8_t Code) { GWindowsEdition.store(Code, std::memory_order_relaxed); }
