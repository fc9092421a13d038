#include "sfds/sfds_library.h"

#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_reader.h"

void SFDS_LibraryStartup() {
    SFDS_DefaultSupportedProc = &SFDS_SupportAnyFormat;
    SFDS_CreateCompressionFormatList();
    SFDS_CreateActiveReaderList();
}

void SFDS_LibraryShutdown() {
    // Readers go first: a reader being freed may still look up its codecs.
    SFDS_DestroyActiveReaderList();
    SFDS_DestroyCompressionFormatList();
}
