// The engine list of a build without faster deflate libraries: zlib alone.
#include "codecs/sfds_zengine.h"

bool ZFastEngineAvailable() { return false; }

std::unique_ptr<TZFastInflater> ZNewFastInflater() { return nullptr; }

bool ZFastDeflate(std::string_view, int, std::string&) { return false; }

const char* ZFastEngineLibraries() { return "zlib"; }
