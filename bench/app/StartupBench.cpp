// From starting QMZRun.exe to its launcher window on the screen: the time a
// user waits after the double-click before anything shows. Each round starts
// the launcher in an empty working folder, waits until its window of class
// "TForm1" is visible, notes the time and ends the process (the content scan
// half a second later is not part of start-up). Windows only; under Wine the
// figure includes Wine's own process start, with the Wine server running.
//   bench_app_startup [QMZRun.exe [ROUNDS]]
// Without a path, QMZRun.exe is looked for where the build puts it, relative
// to this program: ..\..\src\app\QMZRun.exe.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TFind {
    DWORD ProcessId;
    bool Visible;
};

BOOL CALLBACK FindLauncher(HWND Window, LPARAM Param) {
    auto* Find = reinterpret_cast<TFind*>(Param);
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    wchar_t Class[16] = {};
    GetClassNameW(Window, Class, 16);
    if (Owner == Find->ProcessId && std::wstring(Class) == L"TForm1" && IsWindowVisible(Window)) {
        Find->Visible = true;
        return FALSE;
    }
    return TRUE;
}

std::wstring DefaultLauncherPath() {
    wchar_t Self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, Self, MAX_PATH);
    std::wstring Dir(Self);
    Dir.resize(Dir.find_last_of(L'\\') + 1);
    return Dir + L"..\\..\\src\\app\\QMZRun.exe";
}

double Seconds(LARGE_INTEGER From, LARGE_INTEGER To, LARGE_INTEGER Frequency) {
    return static_cast<double>(To.QuadPart - From.QuadPart) / static_cast<double>(Frequency.QuadPart);
}

// Milliseconds from CreateProcess to the visible launcher window; negative
// when it did not show within ten seconds.
double OneStart(const std::wstring& Launcher, const std::wstring& Folder) {
    LARGE_INTEGER Frequency, Start, Now;
    QueryPerformanceFrequency(&Frequency);
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    std::wstring CommandLine = L"\"" + Launcher + L"\"";
    QueryPerformanceCounter(&Start);
    if (!CreateProcessW(Launcher.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.c_str(),
                        &Startup, &Process)) {
        std::fprintf(stderr, "cannot start %ls (error %lu)\n", Launcher.c_str(), GetLastError());
        return -1;
    }
    double Ms = -1;
    for (;;) {
        TFind Find{Process.dwProcessId, false};
        EnumWindows(FindLauncher, reinterpret_cast<LPARAM>(&Find));
        QueryPerformanceCounter(&Now);
        if (Find.Visible) {
            Ms = Seconds(Start, Now, Frequency) * 1000;
            break;
        }
        if (Seconds(Start, Now, Frequency) > 10 || WaitForSingleObject(Process.hProcess, 0) == WAIT_OBJECT_0) break;
        Sleep(1);
    }
    TerminateProcess(Process.hProcess, 0);
    WaitForSingleObject(Process.hProcess, 5000);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    return Ms;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring Launcher = argc > 1 ? argv[1] : DefaultLauncherPath();
    const int Rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 9;

    // An empty working folder: no QMZBox, so the launcher shows and waits.
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    const std::wstring Folder = std::wstring(Temp) + L"qmzrun-startup-bench";
    CreateDirectoryW(Folder.c_str(), nullptr);

    OneStart(Launcher, Folder);  // the first start loads what later ones find cached
    std::vector<double> Times;
    for (int I = 0; I < Rounds; ++I) {
        const double Ms = OneStart(Launcher, Folder);
        if (Ms < 0) {
            std::fprintf(stderr, "the launcher window did not show\n");
            return 1;
        }
        Times.push_back(Ms);
    }
    RemoveDirectoryW(Folder.c_str());
    std::sort(Times.begin(), Times.end());
    std::printf("start-up to the launcher window shown: median %.1f ms (min %.1f, max %.1f, %d rounds)\n",
                Times[Times.size() / 2], Times.front(), Times.back(), Rounds);
    return 0;
}
