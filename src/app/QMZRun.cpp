// Program entry: library start-up, Windows edition, the launcher window and
// the message loop, library shut-down.
#include "app/AppStartup.h"
#include "app/ErrorHandler.h"
#include "app/umain.h"
#include "codecs/sfds_library_scope.h"
#include "shellutil/WindowsEdition.h"

int main(int argc, char* argv[]) {
    TSFDSLibrary Library;
    InitWindowsEdition();

    TQMZApplication Application(argc, argv);
    StartApplication();
    TForm1 Form1;
    Form1.show();
    return Application.exec();
}
