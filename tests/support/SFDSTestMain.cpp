// GoogleTest main for the library's tests: the library is started, with its
// built-in codecs registered, for the whole run, as the program's main does.
#include <gtest/gtest.h>

#include "codecs/sfds_library_scope.h"
#include "sfds/sfds_workers.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    TSFDSLibrary Library;
    const int Result = RUN_ALL_TESTS();
    // A kept worker whose wait ran out has ended but is joined only by the
    // next job: joined here, the run ends with no thread left unjoined.
    SFDS_SettleWorkers();
    return Result;
}
