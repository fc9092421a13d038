// The Win32 front end's tests run in one process, the library started and
// the front end's message route set up as the program does, boxes recorded.
#include <gtest/gtest.h>

#include "app/win32/Win32App.h"
#include "codecs/sfds_library_scope.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TSFDSLibrary Library;
    TWin32Application Application;
    return RUN_ALL_TESTS();
}
