// What the Win32 program entry and the windows share: the program's own file
// name, the message loops, start-up of the front end.
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/Win32MessageBoxService.h"

// The program's full file name as the system spells it (backslashes).
std::u16string ProgramFileName();

// Handles the window messages pending now, then returns.
void ProcessPendingMessages();

// Runs the message loop until WM_QUIT; Tab and the dialog keys move the
// focus among Dialog's controls. Returns the quit code.
int RunMessageLoop(HWND Dialog);

// Common controls, the message boxes and the shell utilities' message route;
// undone when it goes.
class TWin32Application {
public:
    TWin32Application();
    ~TWin32Application();
    TWin32Application(const TWin32Application&) = delete;
    TWin32Application& operator=(const TWin32Application&) = delete;

private:
    TWin32MessageBoxService FBoxes;
    TMessageBoxService* FPreviousBoxes;
};
