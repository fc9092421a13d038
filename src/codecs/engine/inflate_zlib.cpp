// The inflater of a build without a faster inflate library: zlib's own.
#include "codecs/sfds_zengine.h"

const char* ZFastInflaterLibrary() { return nullptr; }

std::unique_ptr<TZFastInflater> ZNewFastInflater() { return nullptr; }
