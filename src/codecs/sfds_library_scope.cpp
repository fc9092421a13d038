#include "codecs/sfds_library_scope.h"

#include "codecs/sfds_compressorbzip2.h"
#include "codecs/sfds_compressorzlib.h"
#include "sfds/sfds_library.h"

void SFDS_RegisterBuiltInFormats() {
    SFDS_RegisterZLibFormat();
    SFDS_RegisterBZip2Format();
}

TSFDSLibrary::TSFDSLibrary() {
    SFDS_LibraryStartup();
    try {
        SFDS_RegisterBuiltInFormats();
    } catch (...) {
        SFDS_LibraryShutdown();
        throw;
    }
}

TSFDSLibrary::~TSFDSLibrary() { SFDS_LibraryShutdown(); }
