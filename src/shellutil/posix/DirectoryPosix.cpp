// Folder enumeration on POSIX with Windows-rule names and attribute bits:
// names are turned into the process code page, a name beginning with "." is
// hidden (as the Windows layers of POSIX systems show it), a file without
// owner write permission is read-only, a symbolic link is a reparse point
// that takes the kind and size of its target.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <memory>

#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "shellutil/ShellPlatform.h"

namespace {

TShellLocalTime LocalTimeOf(const struct timespec& T) {
    struct tm Tm {};
    const time_t Seconds = T.tv_sec;
    if (::localtime_r(&Seconds, &Tm) == nullptr) return {};
    return {Tm.tm_year + 1900, Tm.tm_mon + 1, Tm.tm_mday, Tm.tm_hour, Tm.tm_min, Tm.tm_sec};
}

}  // namespace

bool ShellFindFiles(const std::string& Folder, const std::function<void(const TShellFindData&)>& OnEntry) {
    std::string Native = NativeFileName(Folder);
    if (Native.empty() || Native.back() != '/') Native += '/';
    std::unique_ptr<DIR, int (*)(DIR*)> D(::opendir(Native.c_str()), ::closedir);
    if (!D) return false;
    for (;;) {
        errno = 0;
        const dirent* Ent = ::readdir(D.get());
        if (Ent == nullptr) break;  // the end, or a failure that ends the listing
        const std::string Path = Native + Ent->d_name;
        struct stat Link;
        if (::lstat(Path.c_str(), &Link) != 0) continue;  // gone meanwhile
        struct stat Target = Link;
        std::uint32_t Attr = 0;
        if (S_ISLNK(Link.st_mode)) {
            Attr |= faSymLink;
            if (::stat(Path.c_str(), &Target) != 0) Target = Link;  // dangling: a file-like link
        }
        TShellFindData E;
        E.Name = UTF8ToAnsi(Ent->d_name);
        if (S_ISDIR(Target.st_mode)) {
            Attr |= faDirectory;
        } else {
            Attr |= faArchive;
            if ((Target.st_mode & S_IWUSR) == 0) Attr |= faReadOnly;
            if (S_ISREG(Target.st_mode)) E.Size = static_cast<std::uint64_t>(Target.st_size);
        }
        if (Ent->d_name[0] == '.' && E.Name != "." && E.Name != "..") Attr |= faHidden;
        E.Attributes = Attr;
        E.LastWrite = LocalTimeOf(Target.st_mtim);
        OnEntry(E);
    }
    return true;
}

std::string ShellTimeSeparator() { return ":"; }
