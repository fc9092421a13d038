// The deflater of a build without a faster deflate library: zlib's own.
#include "codecs/sfds_zengine.h"

const char* ZFastDeflaterLibrary() { return nullptr; }

bool ZFastDeflate(std::string_view, int, std::string&) { return false; }
