// Name handling shared by every backend.
#include "runtime/FileSystem.h"

#include <memory>
#include <string>
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

// What the walk knows of one folder's names. Known: every name is in the
// maps (the folder was read once, or made by this walk and so began empty),
// and no system call is needed to resolve a name inside it.
struct TDestinationFolder::TFolderState {
    bool Known = false;
    std::unordered_map<std::string, bool> Exact;
    std::unordered_map<std::string, std::string> Folded;  // folded name -> first name with it

    void Add(const std::string& Native) {
        if (!Exact.emplace(Native, true).second) return;
        Folded.emplace(LowerAscii(Native), Native);
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
    if (!Folder.Known) {
        if (FileSystemIgnoresCase() || FolderChildKind(Handle, Part) != TChildKind::ckMissing) return;
        // A miss: read the folder once; from now on its names are known.
        std::vector<std::string> Names;
        if (!FolderListNames(Handle, Names)) return;
        Folder.Known = true;
        for (const std::string& N : Names) Folder.Add(N);
    }
    if (Folder.Exact.count(Part) != 0) return;
    const auto It = Folder.Folded.find(LowerAscii(Part));
    if (It != Folder.Folded.end()) Native = It->second;
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
    ParentState.Add(Native);
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
    if (R == crCreated) S.Add(Native);
    return R;
}
