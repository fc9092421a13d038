// Shared pieces of the window tests: a message-box service that records
// instead of blocking, a working-folder switch, a JPEG encoder for fixtures,
// and waiting for the event loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QImage>
#include <QString>

#include "JpegEncoder.h"
#include "app/MessageBoxService.h"

enum TBoxKind { bkMessage, bkWarning, bkError };

struct TShownBox {
    TBoxKind Kind;
    QString Caption;
    QString Text;
};

// Installed for its lifetime; every box is recorded and returns at once.
// OnShow, when set, runs inside the box (as user actions during a modal box would).
class TRecordingMessageBoxes : public TMessageBoxService {
public:
    TRecordingMessageBoxes();
    ~TRecordingMessageBoxes() override;

    void ShowMessage(const QString& Text) override;
    void ShowWarning(const QString& Caption, const QString& Text) override;
    void ShowError(const QString& Caption, const QString& Text) override;

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

// Sets (or with Value null, removes) an environment variable for its lifetime.
class TEnvScope {
public:
    TEnvScope(const char* Name, const char* Value);
    ~TEnvScope();

private:
    std::string FName;
    bool FHad;
    std::string FSaved;
};

// Runs the event loop until Done() or TimeoutMs passed; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs);
// Runs the event loop for Ms.
void Pump(int Ms);

// A picture with distinct quadrants: red, green, blue, white.
QImage QuadrantPicture(int Width, int Height);
// Pseudo-random pixels: JPEG bytes of about three bytes per pixel.
QImage NoisePicture(int Width, int Height, unsigned Seed = 1);
