// The window tests run in one process with one application object on the
// offscreen platform, with the library started as the program starts it.
#include <gtest/gtest.h>

#include <QtGlobal>

#include "app/qt/QtApplication.h"
#include "codecs/sfds_library_scope.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TSFDSLibrary Library;
    int Result = 0;
    {
        TQMZApplication Application(argc, argv);
        Result = RUN_ALL_TESTS();
    }
    return Result;
}
