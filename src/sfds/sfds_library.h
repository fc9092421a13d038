// Explicit start-up and shut-down of the library's process-wide state. Static
// constructors in a static library can be dropped by the linker, so the
// program's main (and the test main) calls these, in this order, once each.
//
// Threads: start-up, shut-down and the kept readers below belong to one
// thread, the one that starts the library (the program's main or GUI thread).
// Nothing here is locked.
#pragma once

#include <cstdint>
#include <memory>

class TSFDSCustomReader;

// Installs the default supported-procedure, creates the compression format
// registry, the (empty) list of open readers and the (empty) set of readers
// the library keeps.
void SFDS_LibraryStartup();
// Frees the readers the library keeps, newest first; then destroys the list
// of open readers and the registry. Readers created by the program itself are
// the program's: it frees them before shut-down. No reader may be used
// afterwards.
void SFDS_LibraryShutdown();

// Readers opened on demand - by the archive paths, or handed over by a caller
// that wants them found by name for the rest of the run - belong to the
// library from here until shut-down (or SFDS_FreeKeptReaders). Returns the
// reader; before start-up (or after shut-down) nothing could keep it, so it
// is freed at once and null is returned.
TSFDSCustomReader* SFDS_KeepReader(std::unique_ptr<TSFDSCustomReader> Reader);
// How many readers the library keeps at the moment.
std::int32_t SFDS_KeptReaderCount();
// Frees the kept readers, newest first, down to the first KeepFirst of them
// (all by default). Used by shut-down and by callers that close everything
// they opened by name, such as the viewer between two contents.
void SFDS_FreeKeptReaders(std::int32_t KeepFirst = 0);
