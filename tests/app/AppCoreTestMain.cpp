// The core's tests run in one process with the library started as the program
// starts it, and no windowing toolkit.
#include <gtest/gtest.h>

#include "app/AppStartup.h"
#include "codecs/sfds_library_scope.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TSFDSLibrary Library;
    StartApplication();
    return RUN_ALL_TESTS();
}
