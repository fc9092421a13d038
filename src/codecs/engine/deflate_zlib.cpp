// A build without libdeflate: zlib deflates, and no entry is inflated whole.
#include "codecs/sfds_zengine.h"

const char* ZFastDeflaterLibrary() { return nullptr; }

bool ZFastDeflate(std::string_view, int, std::string&) { return false; }

const char* ZWholeInflaterLibrary() { return nullptr; }

std::unique_ptr<TZFastInflater> ZNewWholeInflater(TZSizeHint) { return nullptr; }
