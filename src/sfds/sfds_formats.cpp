#include "sfds/sfds_formats.h"

#include "runtime/AsciiCase.h"

namespace {

std::unique_ptr<TSFDSCompressionFormatsList>& Registry() {
    static std::unique_ptr<TSFDSCompressionFormatsList> List;
    return List;
}

}  // namespace

std::int32_t TSFDSCompressionFormatsList::RegisterFormat(const SFDS_CompressionFormatItem& Entry) {
    return Add(std::make_unique<SFDS_CompressionFormatItem>(Entry));
}

PSFDS_CompressionFormatItem TSFDSCompressionFormatsList::FindFormat(std::uint8_t ID) const {
    for (std::int32_t I = 0; I < Count(); ++I)
        if (Items(I)->FormatID == ID) return Items(I);
    return nullptr;
}

std::int32_t TSFDSCompressionFormatsList::FormatIndex(const std::string& FormatName) const {
    for (std::int32_t I = 0; I < Count(); ++I)
        if (SameTextAscii(Items(I)->FormatName, FormatName)) return I;
    return -1;
}

TSFDSCompressionFormatsList* SFDS_CompressionFormatList() { return Registry().get(); }

void SFDS_CreateCompressionFormatList() {
    if (!Registry()) Registry() = std::make_unique<TSFDSCompressionFormatsList>();
}

void SFDS_DestroyCompressionFormatList() { Registry().reset(); }

std::int32_t SFDS_RegisterCompressionFormat(const std::string& FormatName, std::uint8_t FormatID,
                                            TSFDSCompressorClass Compressor, TSFDSDecompressorClass Decompressor) {
    SFDS_CreateCompressionFormatList();
    return Registry()->RegisterFormat({FormatName, FormatID, Compressor, Decompressor});
}

PSFDS_CompressionFormatItem SFDS_FindCompressionFormat(std::uint8_t ID) {
    return Registry() ? Registry()->FindFormat(ID) : nullptr;
}
