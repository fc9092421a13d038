// The Windows shell layer against the real system: the registry, the shell's
// "open" of a batch file, the elevated start's failure.
#include <windows.h>
#undef DeleteFile

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/FileSystem.h"
#include "shellutil/ShellPlatform.h"
#include "shellutil/WindowsEdition.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

TEST(Win32Shell, RegistryHoldsTheProductName) {
    wchar_t Direct[256] = {};
    DWORD Bytes = sizeof Direct;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName",
                           RRF_RT_REG_SZ, nullptr, Direct, &Bytes),
              ERROR_SUCCESS);
    const std::string Name = ReadMachineRegistryString(WindowsNTCurrentVersionKey, ProductNameValue, "none");
    EXPECT_EQ(Name.rfind("Microsoft Windows", 0), 0u) << Name;
    EXPECT_EQ(std::wstring(Name.begin(), Name.end()), std::wstring(Direct));
    EXPECT_EQ(ReadMachineRegistryString(WindowsNTCurrentVersionKey, "NoSuchValue", "fallback"), "fallback");
    EXPECT_EQ(ReadMachineRegistryString("SOFTWARE\\NoSuchKeyAnywhere", ProductNameValue, "fallback"), "fallback");
}

TEST(Win32Shell, OpenRunsABatchFileThroughTheCommandInterpreter) {
    TTempDir Dir;
    const std::string Batch = ExpandFileName(Dir.File("run.bat"));
    const std::string Marker = ExpandFileName(Dir.File("marker.txt"));
    WriteWholeFile(Batch, "@echo off\r\necho ran> \"" + Marker + "\"\r\n");
    ASSERT_GT(ShellOpen(Batch, "", ExpandFileName(Dir.Path()), SW_HIDE), 32);
    // The interpreter runs on its own: wait until its work shows, within a bound.
    for (int I = 0; I < 600 && !FileExists(Marker); ++I) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(FileExists(Marker));
    std::string Text;
    for (int I = 0; I < 100 && (Text = ReadWholeFile(Marker)).find('\n') == std::string::npos; ++I)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Text, "ran\r\n");
    // Once it has run, the batch file can go.
    bool Deleted = false;
    for (int I = 0; I < 100 && !(Deleted = DeleteFile(Batch)); ++I)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Deleted);
    EXPECT_FALSE(FileExists(Batch));
}

TEST(Win32Shell, AFailedElevatedStartReportsTheSystemsError) {
    TTempDir Dir;
    std::uint32_t Error = 0;
    EXPECT_FALSE(ShellRunAs(ExpandFileName(Dir.File("no-such-program.exe")), "", "", SW_SHOWNORMAL, Error));
    EXPECT_EQ(Error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}
