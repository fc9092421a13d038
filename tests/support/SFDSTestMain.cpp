// GoogleTest main for the library's tests: the library is started, with its
// built-in codecs registered, for the whole run, as the program's main does.
#include <gtest/gtest.h>

#include "codecs/sfds_library_scope.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    TSFDSLibrary Library;
    return RUN_ALL_TESTS();
}
