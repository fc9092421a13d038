// Program entry of the Qt launcher: library start-up, Windows edition, the
// launcher window and the message loop, library shut-down.
#include "app/qt/QtApplication.h"
#include "app/qt/umain.h"
#include "codecs/sfds_library_scope.h"
#include "shellutil/WindowsEdition.h"

int main(int argc, char* argv[]) {
    TSFDSLibrary Library;
    InitWindowsEdition();

    TQMZApplication Application(argc, argv);
    TForm1 Form1;
    Form1.show();
    return Application.exec();
}
