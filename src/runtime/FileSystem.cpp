// Name handling shared by every backend.
#include "runtime/FileSystem.h"

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/AnsiSearch.h"
#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"

bool IsPathDelimiter(char C) { return C == '\\' || C == '/'; }

bool EndsWithPathDelimiter(const std::string& Path) { return AnsiEndsWithOneOf(Path, PathDelimiters); }

namespace {

// Index one past the last separator or drive colon; 0 when there is none.
std::size_t NamePartStart(const std::string& FileName) {
    const std::size_t P = AnsiFindLastOf(FileName, "\\/:");
    return P == std::string::npos ? 0 : P + 1;
}

}  // namespace

std::string ExcludeTrailingPathDelimiters(const std::string& Path) {
    const char* const Begin = Path.data();
    const char* const End = Begin + Path.size();
    std::size_t Keep = 0;
    for (const char* P = Begin; P < End;) {
        const std::size_t Len = AnsiCharLength(P, End);
        if (Len != 1 || !IsPathDelimiter(*P)) Keep = static_cast<std::size_t>(P - Begin) + Len;
        P += Len;
    }
    return Path.substr(0, Keep);
}

std::string ExtractFilePath(const std::string& FileName) {
    return FileName.substr(0, NamePartStart(FileName));
}

std::string ExtractFileName(const std::string& FileName) {
    return FileName.substr(NamePartStart(FileName));
}

std::string ExtractFileExt(const std::string& FileName) {
    const std::size_t Start = NamePartStart(FileName);
    const std::size_t Dot = AnsiFindLastOf(std::string_view(FileName).substr(Start), ".");
    if (Dot == std::string::npos) return {};
    return FileName.substr(Start + Dot);
}

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
    if (EndsWithPathDelimiter(Path)) return Path;
    return Path + '\\';
}

bool ForceDirectories(const std::string& Name) {
    const std::string Dir = ExcludeTrailingPathDelimiters(Name);
    if (Dir.empty() || DirectoryExists(Dir)) return true;
    if (Dir.size() == 2 && AnsiCharLength(Dir.data(), Dir.data() + 2) == 1 && Dir[1] == ':')
        return DirectoryExists(Dir + "\\");
    const std::string Parent = ExtractFilePath(Dir);
    if (!Parent.empty() && Parent != Dir && !ForceDirectories(Parent)) return false;
    return CreateDir(Dir) || DirectoryExists(Dir);
}

// ---- TDestinationFolder ----------------------------------------------------

namespace {

// The case-folded form of a name, hashed (64-bit FNV-1a over the folded bytes).
std::uint64_t FoldedNameHash(std::string_view Name) {
    std::uint64_t H = 0xcbf29ce484222325u;
    for (const char C : Name) H = (H ^ static_cast<unsigned char>(LowerAsciiChar(C))) * 0x100000001b3u;
    return H;
}

// A set of 64-bit hashes in one open-addressed array: eight to sixteen bytes
// per name, where a set of strings costs a few hundred.
class TNameHashSet {
public:
    bool Contains(std::uint64_t H) const {
        if (FSlots.empty()) return false;
        H = NonZero(H);
        for (std::size_t I = Home(H);; I = (I + 1) & (FSlots.size() - 1)) {
            if (FSlots[I] == H) return true;
            if (FSlots[I] == 0) return false;
        }
    }
    void Insert(std::uint64_t H) {
        if ((FCount + 1) * 4 > FSlots.size() * 3) Grow();
        H = NonZero(H);
        std::size_t I = Home(H);
        while (FSlots[I] != 0) {
            if (FSlots[I] == H) return;
            I = (I + 1) & (FSlots.size() - 1);
        }
        FSlots[I] = H;
        ++FCount;
    }

private:
    static std::uint64_t NonZero(std::uint64_t H) { return H == 0 ? 1 : H; }  // 0 marks a free slot
    std::size_t Home(std::uint64_t H) const {
        return static_cast<std::size_t>((H * 0x9e3779b97f4a7c15u) >> FShift);
    }
    void Grow() {
        std::vector<std::uint64_t> Old(FSlots.size() < 16 ? 16 : FSlots.size() * 2, 0);
        Old.swap(FSlots);
        FShift = 64 - static_cast<unsigned>(std::bit_width(FSlots.size() - 1));
        FCount = 0;
        for (const std::uint64_t H : Old)
            if (H != 0) Insert(H);
    }

    std::vector<std::uint64_t> FSlots;  // a power of two in size, at most three quarters full
    std::size_t FCount = 0;
    unsigned FShift = 64;
};

}  // namespace

// What the walk knows of one folder's names, on a system that tells letter
// case apart (elsewhere the system resolves spellings itself and nothing is
// kept). Known: every name in the folder is accounted for (the folder was
// read once, or made by this walk and so began empty), so a name resolves
// without a system call.
//
// A folder may receive millions of names, so at first only a hash of each
// folded name is kept: a name whose hash is absent has no other spelling
// there. When a hash is present and the exact name is not (a name spelt
// another way, or a hash collision), the folder is read and every name is
// kept in full from then on, so a run of names in alternating spellings
// reads the folder once, not once per name.
struct TDestinationFolder::TFolderState {
    bool Known = false;
    bool Full = false;
    TNameHashSet Hashes;                                   // until Full
    std::unordered_map<std::string, std::string> Folded;  // once Full: folded name -> its spelling there

    void Add(const std::string& Native) {
        if (!Full) {
            Hashes.Insert(FoldedNameHash(Native));
            return;
        }
        // Of several spellings already there, the least one is chosen, whatever order the folder lists them in.
        const auto [It, New] = Folded.emplace(LowerAscii(Native), Native);
        if (!New && Native < It->second) It->second = Native;
    }
    void AddAll(const std::vector<std::string>& Names) {
        for (const std::string& N : Names) Add(N);
    }
};

struct TDestinationFolder::TOpenFolder {
    TFolderHandle Handle;
    std::string Requested;  // the part as the caller spelled it
    std::string Key;        // the folder's native name relative to the root
};

TDestinationFolder::TDestinationFolder(std::string Root) : FRoot(std::move(Root)) {}

TDestinationFolder::~TDestinationFolder() { CloseFrom(0); }

void TDestinationFolder::CloseFrom(std::size_t Depth) {
    while (FOpen.size() > Depth) {
        FolderClose(FOpen.back().Handle);
        FOpen.pop_back();
    }
}

TDestinationFolder::TFolderState& TDestinationFolder::State(const std::string& Key) {
    std::unique_ptr<TFolderState>& S = FStates[Key];
    if (!S) S = std::make_unique<TFolderState>();
    return *S;
}

void TDestinationFolder::Resolve(TFolderState& Folder, const TFolderHandle& Handle, const std::string& Part,
                                 std::string& Native) {
    Native = Part;
    if (FileSystemIgnoresCase()) return;
    std::vector<std::string> Names;
    if (!Folder.Known) {
        if (FolderChildKind(Handle, Part) != TChildKind::ckMissing) return;
        // A miss: read the folder once; from now on its names are known.
        if (!FolderListNames(Handle, Names)) return;
        Folder.Known = true;
        Folder.AddAll(Names);
    }
    if (!Folder.Full) {
        if (!Folder.Hashes.Contains(FoldedNameHash(Part))) return;
        if (FolderChildKind(Handle, Part) != TChildKind::ckMissing) return;  // the same name again
        if (!FolderListNames(Handle, Names)) return;
        Folder.Full = true;
        Folder.Hashes = TNameHashSet();
        Folder.AddAll(Names);
    }
    const auto It = Folder.Folded.find(LowerAscii(Part));
    if (It == Folder.Folded.end() || It->second == Part) return;
    // Another spelling is there; so may this one be, which then is meant.
    if (FolderChildKind(Handle, Part) == TChildKind::ckMissing) Native = It->second;
}

TCreateResult TDestinationFolder::Descend(std::size_t Depth, const std::string& Part) {
    TOpenFolder& Parent = FOpen[Depth];
    TFolderState& ParentState = State(Parent.Key);
    std::string Native;
    Resolve(ParentState, Parent.Handle, FolderNativePart(Part), Native);
    TFolderHandle Child;
    TChildKind Kind = FolderOpenChild(Parent.Handle, Native, Child);
    bool Made = false;
    if (Kind == TChildKind::ckMissing) {
        Made = FolderMakeChild(Parent.Handle, Native);
        // Made by someone else in between, it is opened like any other;
        // otherwise the system's reason for the failure stands.
        if (Made || FolderChildKind(Parent.Handle, Native) == TChildKind::ckFolder)
            Kind = FolderOpenChild(Parent.Handle, Native, Child);
        else return crFailed;
    }
    if (Kind == TChildKind::ckLink) return crLink;
    if (Kind != TChildKind::ckFolder) return crFailed;
    if (!FileSystemIgnoresCase()) ParentState.Add(Native);
    std::string Key = Parent.Key + '/' + Native;
    if (Made) {
        TFolderState& S = State(Key);
        S = TFolderState{};
        S.Known = true;
    }
    FOpen.push_back(TOpenFolder{Child, Part, std::move(Key)});
    return crCreated;
}

TCreateResult TDestinationFolder::Create(const std::string& RelativeName, THandle& Handle, const TFileIdentity* Keep) {
    Handle = INVALID_HANDLE_VALUE_RTL;
    std::vector<std::string> Parts;
    std::size_t Begin = 0;
    for (;;) {
        std::size_t I = AnsiFindFirstOf(RelativeName, PathDelimiters, Begin);
        if (I == std::string::npos) I = RelativeName.size();
        std::string Part = RelativeName.substr(Begin, I - Begin);
        // A trailing separator leaves an empty file name, which fails to be created.
        if ((!Part.empty() && Part != ".") || I == RelativeName.size()) Parts.push_back(std::move(Part));
        if (I == RelativeName.size()) break;
        Begin = I + 1;
    }

    if (FOpen.empty()) {
        const std::string Root = FRoot.empty() ? std::string(".") : FRoot;
        const bool Existed = DirectoryExists(Root);
        TFolderHandle Handle0;
        if (!ForceDirectories(Root) || !FolderOpen(Root, Handle0)) return crFailed;
        FOpen.push_back(TOpenFolder{Handle0, std::string(), std::string()});
        if (!Existed) State(std::string()).Known = true;
    }
    for (std::size_t I = 0; I + 1 < Parts.size(); ++I) {
        if (FOpen.size() > I + 1 && FOpen[I + 1].Requested == Parts[I]) continue;
        CloseFrom(I + 1);
        const TCreateResult R = Descend(I, Parts[I]);
        if (R != crCreated) return R;
    }
    TOpenFolder& Parent = FOpen[Parts.size() - 1];
    TFolderState& S = State(Parent.Key);
    std::string Native;
    Resolve(S, Parent.Handle, FolderNativePart(Parts.back()), Native);
    const TCreateResult R = FolderCreateFile(Parent.Handle, Native, Keep, Handle);
    if (R == crCreated && !FileSystemIgnoresCase()) S.Add(Native);
    return R;
}
