#include "sfds/sfds_library.h"

#include <vector>

#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_reader.h"

namespace {

// Null outside start-up .. shut-down. In the order the readers were kept.
std::unique_ptr<std::vector<std::unique_ptr<TSFDSCustomReader>>>& KeptReaders() {
    static std::unique_ptr<std::vector<std::unique_ptr<TSFDSCustomReader>>> Kept;
    return Kept;
}

}  // namespace

void SFDS_LibraryStartup() {
    SFDS_DefaultSupportedProc = &SFDS_SupportAnyFormat;
    SFDS_CreateCompressionFormatList();
    SFDS_CreateActiveReaderList();
    if (!KeptReaders()) KeptReaders() = std::make_unique<std::vector<std::unique_ptr<TSFDSCustomReader>>>();
}

void SFDS_LibraryShutdown() {
    // Readers go first, while the list they leave and the codecs they may
    // still look up exist.
    SFDS_FreeKeptReaders();
    KeptReaders().reset();
    SFDS_DestroyActiveReaderList();
    SFDS_DestroyCompressionFormatList();
}

TSFDSCustomReader* SFDS_KeepReader(std::unique_ptr<TSFDSCustomReader> Reader) {
    if (!KeptReaders() || !Reader) return nullptr;
    KeptReaders()->push_back(std::move(Reader));
    return KeptReaders()->back().get();
}

std::int32_t SFDS_KeptReaderCount() {
    return KeptReaders() ? static_cast<std::int32_t>(KeptReaders()->size()) : 0;
}

void SFDS_FreeKeptReaders(std::int32_t KeepFirst) {
    auto& Kept = KeptReaders();
    if (!Kept) return;
    const std::size_t Floor = KeepFirst > 0 ? static_cast<std::size_t>(KeepFirst) : 0;
    // One at a time from the end: a reader's destructor runs while the ones
    // kept before it still exist.
    while (Kept->size() > Floor) {
        std::unique_ptr<TSFDSCustomReader> Doomed = std::move(Kept->back());
        Kept->pop_back();
    }
}
