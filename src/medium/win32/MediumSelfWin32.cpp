#include "medium/MediumSelf.h"

#include <windows.h>

#include <vector>

#include "runtime/CodePage.h"

std::string MediumProgramFile() {
    std::vector<wchar_t> Buffer(MAX_PATH);
    for (;;) {
        const DWORD N = GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (N == 0) return std::string();
        if (N < Buffer.size()) {
            std::u16string Name(reinterpret_cast<const char16_t*>(Buffer.data()), N);
            return UnicodeToUTF8(Name);
        }
        // Long paths: the name was cut to the buffer.
        if (Buffer.size() >= 32768) return std::string();
        Buffer.resize(Buffer.size() * 2);
    }
}
