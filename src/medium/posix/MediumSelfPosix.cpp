#include "medium/MediumSelf.h"

#include <unistd.h>

#include <vector>

std::string MediumProgramFile() {
    std::vector<char> Buffer(4096);
    for (;;) {
        const ssize_t N = readlink("/proc/self/exe", Buffer.data(), Buffer.size());
        if (N < 0) return std::string();
        if (static_cast<std::size_t>(N) < Buffer.size()) return std::string(Buffer.data(), static_cast<std::size_t>(N));
        if (Buffer.size() >= 1 << 20) return std::string();
        Buffer.resize(Buffer.size() * 2);
    }
}
