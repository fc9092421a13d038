// A build without a streaming inflate library: no streaming fast inflater
// (the whole-entry one takes its place where the build has libdeflate).
#include "codecs/sfds_zengine.h"

const char* ZStreamInflaterLibrary() { return nullptr; }

std::unique_ptr<TZFastInflater> ZNewStreamInflater() { return nullptr; }
