#include "AppCoreTestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <chrono>
#include <filesystem>

#include "app/VideoPlayer.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_writer.h"
#include "support/TempDir.h"

TRecordingMessageBoxes::TRecordingMessageBoxes() : FPrevious(SetMessageBoxService(this)) {}
TRecordingMessageBoxes::~TRecordingMessageBoxes() { SetMessageBoxService(FPrevious); }

void TRecordingMessageBoxes::Record(TShownBox Box) {
    Boxes.push_back(Box);
    if (OnShow) OnShow(Box);
}
void TRecordingMessageBoxes::ShowMessage(const std::u16string& Text) { Record({bkMessage, ApplicationTitle(), Text}); }
void TRecordingMessageBoxes::ShowWarning(const std::u16string& Caption, const std::u16string& Text) {
    Record({bkWarning, Caption, Text});
}
void TRecordingMessageBoxes::ShowError(const std::u16string& Caption, const std::u16string& Text) {
    Record({bkError, Caption, Text});
}

TWorkingDirScope::TWorkingDirScope(const std::string& Folder) {
    FSaved = std::filesystem::current_path().string();
    std::filesystem::current_path(Folder);
}
TWorkingDirScope::~TWorkingDirScope() {
    std::error_code Ec;
    std::filesystem::current_path(FSaved, Ec);
}

std::u16string U16(const char* Utf8) { return UTF8ToUnicode(Utf8); }
std::string U8(const std::u16string& Text) { return UnicodeToUTF8(Text); }

TBitmap32 SolidPicture(int Width, int Height, TColorRGB Color) {
    TBitmap32 B(Width, Height);
    B.Fill(Color);
    return B;
}

TBitmap32 QuadrantPicture(int Width, int Height) {
    TBitmap32 B(Width, Height);
    const int HalfW = Width / 2, HalfH = Height / 2;
    for (int Y = 0; Y < Height; ++Y) {
        std::uint32_t* Line = B.Line(Y);
        for (int X = 0; X < Width; ++X) {
            const TColorRGB C = Y < HalfH ? (X < HalfW ? 0xFF0000 : 0x00FF00) : (X < HalfW ? 0x0000FF : 0xFFFFFF);
            Line[X] = 0xFF000000u | C;
        }
    }
    return B;
}

TBitmap32 NoisePicture(int Width, int Height, unsigned Seed) {
    TBitmap32 B(Width, Height);
    std::uint32_t X = Seed * 2654435761u + 1;
    for (int Y = 0; Y < Height; ++Y) {
        std::uint32_t* Line = B.Line(Y);
        for (int I = 0; I < Width; ++I) {
            X ^= X << 13;
            X ^= X >> 17;
            X ^= X << 5;
            Line[I] = 0xFF000000u | (X & 0xFFFFFFu);
        }
    }
    return B;
}

bool NearColour(TColorRGB A, TColorRGB B, int Tolerance) {
    for (int Shift : {0, 8, 16}) {
        const int Ca = static_cast<int>((A >> Shift) & 0xFF), Cb = static_cast<int>((B >> Shift) & 0xFF);
        if (std::abs(Ca - Cb) >= Tolerance) return false;
    }
    return true;
}

void MakePictureArchive(const std::string& Folder, const std::vector<TPictureEntry>& Entries) {
    ForceDirectories(Folder + "QMZBox");
    TSFDSFileWriter W(Folder + "QMZBox/QMZImage.QMZ");
    for (const auto& E : Entries) W.AddBytes(E.Name, E.Bytes, E.Format);
    W.Finish();
}

std::vector<TPictureEntry> ThreeColourEntries(std::uint8_t Format) {
    return {{"img\\red.jpg", EncodeJpeg(SolidPicture(64, 48, 0xFF0000)), Format},
            {"img\\green.jpg", EncodeJpeg(SolidPicture(48, 64, 0x00FF00)), Format},
            {"img\\blue.jpg", EncodeJpeg(SolidPicture(40, 40, 0x0000FF)), Format}};
}

void FreeAllReaders() { SFDS_FreeKeptReaders(); }

std::string InstallStandInPlayer(const std::string& DriveC, int Row, const std::string& RecordFile) {
    const TVideoPlayer& P = VideoPlayers[Row - 1];
    std::string Folder = P.Folder + 3;  // below "c:\"
    for (char& C : Folder)
        if (C == '\\') C = '/';
    ForceDirectories(DriveC + Folder);
    const std::string Exe = DriveC + Folder + "/" + P.Executable;
    WriteWholeFile(Exe, "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" + RecordFile + "\"\npwd >> \"" + RecordFile + "\"\n");
    std::filesystem::permissions(Exe, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    return DriveC + Folder;
}

TFileWatcher::TFileWatcher(std::string FileName) : FFileName(std::move(FileName)) {
    FThread = std::thread([this] {
        while (!FStop) {
            if (FileExists(FFileName)) {
                // Let the writer finish its few bytes.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                FSeen = ReadWholeFile(FFileName);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
}

TFileWatcher::~TFileWatcher() { Stop(); }

std::string TFileWatcher::Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    return FSeen;
}
