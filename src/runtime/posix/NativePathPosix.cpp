// POSIX: paths are byte strings, and every listed name leads back to its file.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "runtime/NativePath.h"
#include "runtime/RtlConsts.h"

std::filesystem::path NativePathOf(const std::string& FileName) {
    return std::filesystem::path(NativeFileName(FileName));
}

bool NativeListFolder(const std::filesystem::path& Folder, std::vector<TNativeName>& Names, std::error_code& Error) {
    std::unique_ptr<DIR, int (*)(DIR*)> D(::opendir(Folder.c_str()), ::closedir);
    if (!D) {
        Error.assign(errno, std::generic_category());
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* E = ::readdir(D.get());
        if (E == nullptr) break;
        if (std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0) Names.emplace_back(E->d_name);
    }
    // A listing cut short would silently leave files out.
    if (errno != 0) {
        Error.assign(errno, std::generic_category());
        return false;
    }
    Error.clear();
    return true;
}

bool NativeNameReachable(const TNativeName&) { return true; }

std::unique_ptr<TFileStream> NativeOpenRead(const std::filesystem::path& Path) {
    const std::string Name = UTF8ToAnsi(Path.native());
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) throw EFOpenError(Format(SFOpenErrorEx, Name.c_str(), SysErrorMessage(errno).c_str()));
    return std::make_unique<TFileStream>(Fd, Name);
}
