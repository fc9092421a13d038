// One string value under HKEY_LOCAL_MACHINE, the key opened with all access
// rights (which a process without administrator rights is refused on newer
// Windows) and never written.
#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "runtime/CodePage.h"
#include "runtime/win32/WideString.h"
#include "shellutil/WindowsEdition.h"

namespace {

// Registry strings of any use here are short; a larger value is not read.
constexpr DWORD MaxValueBytes = 64 * 1024;

struct TKeyCloser {
    void operator()(HKEY Key) const { RegCloseKey(Key); }
};

}  // namespace

std::string ReadMachineRegistryString(const std::string& KeyPath, const std::string& ValueName,
                                      const std::string& Default) {
    HKEY Raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AnsiToWide(KeyPath).c_str(), 0, KEY_ALL_ACCESS, &Raw) != ERROR_SUCCESS)
        return Default;
    const std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyCloser> Key(Raw);
    const std::wstring Name = AnsiToWide(ValueName);
    DWORD Type = 0, Bytes = 0;
    if (RegQueryValueExW(Key.get(), Name.c_str(), nullptr, &Type, nullptr, &Bytes) != ERROR_SUCCESS ||
        (Type != REG_SZ && Type != REG_EXPAND_SZ) || Bytes > MaxValueBytes)
        return Default;
    std::vector<wchar_t> Buf(Bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD Got = static_cast<DWORD>(Buf.size() * sizeof(wchar_t));
    if (RegQueryValueExW(Key.get(), Name.c_str(), nullptr, &Type, reinterpret_cast<LPBYTE>(Buf.data()), &Got) !=
            ERROR_SUCCESS ||
        (Type != REG_SZ && Type != REG_EXPAND_SZ))
        return Default;
    std::size_t Len = Got / sizeof(wchar_t);
    while (Len > 0 && Buf[Len - 1] == L'\0') --Len;
    return UnicodeToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(Buf.data()), Len));
}
