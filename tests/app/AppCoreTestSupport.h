// Shared pieces of the app's tests, free of any windowing toolkit: a
// message-box service that records instead of blocking, a working-folder
// switch and pictures for fixtures.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "JpegEncoder.h"
#include "app/Bitmap32.h"
#include "app/MessageBoxService.h"

enum TBoxKind { bkMessage, bkWarning, bkError };

struct TShownBox {
    TBoxKind Kind;
    std::u16string Caption;
    std::u16string Text;
};

// Installed for its lifetime; every box is recorded and returns at once.
// OnShow, when set, runs inside the box (as user actions during a modal box would).
class TRecordingMessageBoxes : public TMessageBoxService {
public:
    TRecordingMessageBoxes();
    ~TRecordingMessageBoxes() override;

    void ShowMessage(const std::u16string& Text) override;
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override;
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override;

    std::vector<TShownBox> Boxes;
    std::function<void(const TShownBox&)> OnShow;

private:
    void Record(TShownBox Box);
    TMessageBoxService* FPrevious;
};

// Makes Folder the working folder for its lifetime.
class TWorkingDirScope {
public:
    explicit TWorkingDirScope(const std::string& Folder);
    ~TWorkingDirScope();

private:
    std::string FSaved;
};

// UTF-16 of a UTF-8 literal, for comparing texts the app shows.
std::u16string U16(const char* Utf8);
// UTF-8 of a UTF-16 text, for failure messages.
std::string U8(const std::u16string& Text);

TBitmap32 SolidPicture(int Width, int Height, TColorRGB Color);
// A picture with distinct quadrants: red, green, blue, white.
TBitmap32 QuadrantPicture(int Width, int Height);
// Pseudo-random pixels: JPEG bytes of about three bytes per pixel.
TBitmap32 NoisePicture(int Width, int Height, unsigned Seed = 1);

// Whether two colours differ by less than what JPEG's rounding gives a solid area.
bool NearColour(TColorRGB A, TColorRGB B, int Tolerance = 12);

// One stored file of a picture archive made for a test.
struct TPictureEntry {
    std::string Name;
    std::string Bytes;
    std::uint8_t Format;
};
// Writes Folder + "QMZBox/QMZImage.QMZ" with the library's own writer.
void MakePictureArchive(const std::string& Folder, const std::vector<TPictureEntry>& Entries);
// Red 64 x 48, green 48 x 64, blue 40 x 40, under "img\".
std::vector<TPictureEntry> ThreeColourEntries(std::uint8_t Format = 1);
// The library keeps the viewer's readers for the rest of a run and bare names
// find the first one that holds them: tests drop them when done.
void FreeAllReaders();

// Installs player row Row (1-based) of the video action under the POSIX
// stand-in's drive C folder DriveC, as a script that writes its first
// argument and its working folder to RecordFile. Returns the player's folder.
std::string InstallStandInPlayer(const std::string& DriveC, int Row, const std::string& RecordFile);

// Reads FileName from the side the moment it appears (a file that lives
// briefly); Stop ends the watch if it never does.
class TFileWatcher {
public:
    explicit TFileWatcher(std::string FileName);
    ~TFileWatcher();
    // Stops watching and returns what was read (empty if nothing).
    std::string Stop();

private:
    std::string FFileName;
    std::string FSeen;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};
