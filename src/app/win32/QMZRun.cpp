// Program entry of the Windows launcher: library start-up, Windows edition,
// the launcher window and the message loop, library shut-down.
#include <windows.h>

#include "app/win32/Win32App.h"
#include "app/win32/umain.h"
#include "codecs/sfds_library_scope.h"
#include "shellutil/WindowsEdition.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TSFDSLibrary Library;
    InitWindowsEdition();

    TWin32Application Application;
    int Result = 0;
    {
        TForm1 Form1;
        Form1.Show();
        Result = RunMessageLoop(Form1.Handle());
    }
    return Result;
}
