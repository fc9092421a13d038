// There is no registry on POSIX: every read gives its default, so the Windows
// edition stays unplaced and launches take the plain path.
#include "shellutil/WindowsEdition.h"

std::string ReadMachineRegistryString(const std::string&, const std::string&, const std::string& Default) {
    return Default;
}
