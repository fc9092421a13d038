// Library start-up with the built-in codecs. The program's main and the test
// main each hold one TSFDSLibrary for the whole run; nothing relies on static
// constructors, which the linker drops from static libraries.
#pragma once

// Registers format 1 "ZLib (Deflate)", then format 2 "BZip2".
void SFDS_RegisterBuiltInFormats();

class TSFDSLibrary {
public:
    // Starts the library, then registers the built-in formats.
    TSFDSLibrary();
    // Shuts the library down: open readers and the registry go.
    ~TSFDSLibrary();
    TSFDSLibrary(const TSFDSLibrary&) = delete;
    TSFDSLibrary& operator=(const TSFDSLibrary&) = delete;
};
