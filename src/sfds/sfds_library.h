// Explicit start-up and shut-down of the library's process-wide state. Static
// constructors in a static library can be dropped by the linker, so the
// program's main (and the test main) calls these, in this order, once each.
#pragma once

// Installs the default supported-procedure, creates the compression format
// registry and the (empty) list of open readers.
void SFDS_LibraryStartup();
// Destroys the list of open readers, which frees every reader still
// registered, newest first; then destroys the registry. No reader may be used
// or freed afterwards.
void SFDS_LibraryShutdown();
