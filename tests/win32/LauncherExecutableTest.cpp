// The shipping launcher as a file: what Windows reads from QMZRun.exe before
// any of its code runs. Its subsystem (no console window), and the resources
// loaded from it as data: the version resource and the two application
// manifests under identifier 1.
//   win32_launcher_executable_tests PATH-OF-QMZRun.exe
#ifndef UNICODE
#define UNICODE  // the W forms of the resource type names
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/CodePage.h"

namespace {

std::wstring LauncherPath;

// An enumeration callback of the system's calling convention (stdcall on
// 32-bit Windows, which a lambda cannot have): collects each language.
BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR Param) {
    reinterpret_cast<std::vector<WORD>*>(Param)->push_back(Language);
    return TRUE;
}

class LauncherExecutableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LauncherPath.empty()) << "usage: win32_launcher_executable_tests PATH-OF-QMZRun.exe";
        FModule = LoadLibraryExW(LauncherPath.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(FModule, nullptr) << "cannot load it as data, error " << GetLastError();
    }
    void TearDown() override {
        if (FModule != nullptr) FreeLibrary(FModule);
    }

    // The bytes of one resource, or "" when there is none.
    std::string Resource(LPCWSTR Type, WORD Id, WORD Language) const {
        HRSRC Info = FindResourceExW(FModule, Type, MAKEINTRESOURCEW(Id), Language);
        if (Info == nullptr) return "";
        HGLOBAL Data = LoadResource(FModule, Info);
        const void* Bytes = Data != nullptr ? LockResource(Data) : nullptr;
        if (Bytes == nullptr) return "";
        return std::string(static_cast<const char*>(Bytes), SizeofResource(FModule, Info));
    }

    HMODULE FModule = nullptr;
};

TEST_F(LauncherExecutableTest, RunsInTheGuiSubsystemWithoutAConsole) {
    std::ifstream In(LauncherPath.c_str(), std::ios::binary);
    ASSERT_TRUE(In);
    const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    ASSERT_GE(Bytes.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Bytes.data());
    ASSERT_EQ(Dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_GE(Bytes.size(), static_cast<std::size_t>(Dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64));
    const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(Bytes.data() + Dos->e_lfanew);
    ASSERT_EQ(Nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(Nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

// Both manifests ask for common controls 6 and declare the DPI behaviour;
// they differ only in the level the program asks to run at.
TEST_F(LauncherExecutableTest, HasBothManifestsUnderOneIdentifier) {
    struct TCase {
        WORD Language;
        const char* Level;
    };
    for (const TCase& C : {TCase{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "requireAdministrator"},
                           TCase{MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN), "asInvoker"}}) {
        SCOPED_TRACE(C.Language);
        const std::string Manifest = Resource(RT_MANIFEST, 1, C.Language);
        ASSERT_FALSE(Manifest.empty());
        EXPECT_NE(Manifest.find(std::string("requestedExecutionLevel level=\"") + C.Level + "\""), std::string::npos)
            << Manifest;
        EXPECT_NE(Manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
            << Manifest;
        EXPECT_NE(Manifest.find("<dpiAware"), std::string::npos) << Manifest;
    }
    // Nothing else under identifier 1 in the manifest table: Windows picks by
    // the user's language between exactly these two.
    std::vector<WORD> Languages;
    EnumResourceLanguagesW(FModule, RT_MANIFEST, MAKEINTRESOURCEW(1), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&Languages));
    EXPECT_EQ(Languages.size(), 2u);
}

TEST_F(LauncherExecutableTest, VersionResourceGivesFileAndProductVersion) {
    HRSRC Info = FindResourceW(FModule, MAKEINTRESOURCEW(1), RT_VERSION);
    ASSERT_NE(Info, nullptr);
    // VerQueryValue wants a writable copy of the block.
    const std::string Block = Resource(RT_VERSION, 1, MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN));
    ASSERT_FALSE(Block.empty());
    std::vector<char> Copy(Block.begin(), Block.end());
    VS_FIXEDFILEINFO* Fixed = nullptr;
    UINT Size = 0;
    ASSERT_TRUE(VerQueryValueW(Copy.data(), L"\\", reinterpret_cast<void**>(&Fixed), &Size));
    ASSERT_GE(Size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(Fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(Fixed->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
    EXPECT_EQ(Fixed->dwFileVersionLS, MAKELONG(3, 0));  // .0.3
    EXPECT_EQ(Fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(Fixed->dwProductVersionLS, MAKELONG(0, 0));
    for (const auto& [Name, Expected] : {std::pair<const wchar_t*, std::wstring>{L"FileVersion", L"1.0.0.3"},
                                         {L"ProductVersion", L"1.0.0.0"},
                                         {L"OriginalFilename", L"QMZRun.exe"}}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(Name)));
        wchar_t* Value = nullptr;
        UINT Length = 0;
        const std::wstring Query = std::wstring(L"\\StringFileInfo\\041204B0\\") + Name;
        ASSERT_TRUE(VerQueryValueW(Copy.data(), Query.c_str(), reinterpret_cast<void**>(&Value), &Length));
        EXPECT_EQ(std::wstring(Value), Expected);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        const std::u16string Path = UTF8ToUnicode(argv[1]);
        LauncherPath.assign(Path.begin(), Path.end());
    }
    return RUN_ALL_TESTS();
}
