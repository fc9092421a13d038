#include "shellutil/DirectoryListing.h"

#include <cstdio>

#include "runtime/AnsiSearch.h"
#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "shellutil/ShellPlatform.h"

namespace {

using TExtensionSet = std::vector<std::string>;


bool IsBlankOrControl(char C) { return C != '\0' && static_cast<unsigned char>(C) <= ' '; }

// A quoted item: the text up to the closing quote, a doubled quote standing
// for one. P starts on the opening quote and ends after the closing one.
std::string ExtractQuoted(const char*& P, const char* End) {
    std::string Item;
    ++P;
    while (P < End) {
        if (*P == '"') {
            if (P + 1 < End && P[1] == '"') {
                Item += '"';
                P += 2;
                continue;
            }
            ++P;
            break;
        }
        const std::size_t Len = AnsiCharLength(P, End);
        Item.append(P, Len);
        P += Len;
    }
    return Item;
}

// Items split at ";" and at blanks; quotes keep blanks; a ";" at the very end
// or two in a row give an empty item, which stands for "no extension".
TExtensionSet BuildExtensionSet(const std::string& Extensions) {
    const std::size_t NulAt = Extensions.find('\0');
    const char* P = Extensions.data();
    const char* End = P + (NulAt == std::string::npos ? Extensions.size() : NulAt);
    std::vector<std::string> Items;
    while (P < End && IsBlankOrControl(*P)) ++P;
    while (P < End) {
        std::string Item;
        if (*P == '"') {
            Item = ExtractQuoted(P, End);
        } else {
            const char* Start = P;
            while (P < End && !IsBlankOrControl(*P) && *P != ';') P += AnsiCharLength(P, End);
            Item.assign(Start, P);
        }
        Items.push_back(std::move(Item));
        while (P < End && IsBlankOrControl(*P)) ++P;
        if (P < End && *P == ';') {
            if (P + 1 == End) Items.emplace_back();
            do ++P;
            while (P < End && IsBlankOrControl(*P));
        }
    }
    for (std::string& Item : Items) {
        for (std::size_t At = AnsiFind(Item, "*."); At != std::string::npos; At = AnsiFind(Item, "*.", At + 1))
            Item.erase(At, 1);
        Item = UpperAscii(Item);
    }
    return Items;
}

std::string NameExtension(const std::string& Name) {
    const std::size_t Dot = AnsiFindLastOf(Name, ".");
    return Dot == std::string::npos ? std::string() : UpperAscii(Name.substr(Dot));
}

bool InSet(const TExtensionSet& Set, const std::string& Name) {
    const std::string Ext = NameExtension(Name);
    for (const std::string& Item : Set)
        if (Item == Ext) return true;
    return false;
}

// Two-second resolution, as the file dates of the old FAT tables that
// listings have always shown.
std::string FormatListTime(const TShellLocalTime& T, const std::string& Sep) {
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, "%04d-%02d-%02d %02d", T.Year, T.Month, T.Day, T.Hour);
    std::string S = Buf;
    std::snprintf(Buf, sizeof Buf, "%02d", T.Minute);
    S += Sep;
    S += Buf;
    std::snprintf(Buf, sizeof Buf, "%02d", T.Second - T.Second % 2);
    S += Sep;
    S += Buf;
    return S;
}

// The size field is printed from the full 64-bit size: a value cut to 32 bits
// would show a negative or wrong size for files of 2 GiB and more.
std::string DetailFields(const TShellFindData& E, const std::string& TimeSep) {
    std::string S = ListFieldSeparator;
    S += std::to_string(E.Size);
    S += ListFieldSeparator;
    S += FormatListTime(E.LastWrite, TimeSep);
    S += ListFieldSeparator;
    S += std::to_string(E.Attributes);
    return S;
}

struct TListOptions {
    bool Recurse;
    const TExtensionSet& Set;
    bool Include;
    bool Details;
    bool Directories;
    const std::string& TimeSep;
};

void ListFolder(const std::string& Folder, const TListOptions& Opt, std::vector<std::string>& Output) {
    std::vector<std::string> Lines;
    ShellFindFiles(Folder, [&](const TShellFindData& E) {
        if (E.Name == "." || E.Name == "..") return;
        const bool IsDir = (E.Attributes & faDirectory) != 0;
        if (IsDir && Opt.Recurse) {
            // A linked folder is not followed: a link back up the tree would
            // make the descent endless.
            if ((E.Attributes & faSymLink) == 0) {
                const TListOptions Nested{Opt.Recurse, Opt.Set, Opt.Include, false, false, Opt.TimeSep};
                ListFolder(Folder + E.Name + '\\', Nested, Output);
            }
        } else if (IsDir && Opt.Directories) {
            Lines.push_back(E.Name);
        } else if (Opt.Include) {
            if (InSet(Opt.Set, E.Name))
                Lines.push_back(Folder + E.Name + (Opt.Details ? DetailFields(E, Opt.TimeSep) : std::string()));
        } else if (!Opt.Directories) {
            if (!InSet(Opt.Set, E.Name))
                Lines.push_back(E.Name + (Opt.Details ? DetailFields(E, Opt.TimeSep) : std::string()));
        }
    });
    Output.insert(Output.end(), std::make_move_iterator(Lines.begin()), std::make_move_iterator(Lines.end()));
}

}  // namespace

std::string PadNumber(std::int32_t Value, int Width) {
    std::string S = std::to_string(Value);
    if (Width <= 0 || Value < 0 || S.size() >= static_cast<std::size_t>(Width)) return S;
    return std::string(static_cast<std::size_t>(Width) - S.size(), '0') + S;
}

void ListDirectory(const std::string& Folder, bool Recurse, const std::string& Extensions, bool Include,
                   std::vector<std::string>& Output, bool Details, bool Directories) {
    // An empty folder name would become the root of the current drive.
    if (Folder.empty()) return;
    const TExtensionSet Set = BuildExtensionSet(Extensions);
    const std::string TimeSep = Details ? ShellTimeSeparator() : std::string();
    const TListOptions Opt{Recurse, Set, Include, Details, Directories, TimeSep};
    ListFolder(IncludeTrailingPathDelimiter(Folder), Opt, Output);
}
