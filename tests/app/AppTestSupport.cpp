#include "AppTestSupport.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>

TRecordingMessageBoxes::TRecordingMessageBoxes() : FPrevious(SetMessageBoxService(this)) {}
TRecordingMessageBoxes::~TRecordingMessageBoxes() { SetMessageBoxService(FPrevious); }

void TRecordingMessageBoxes::Record(TShownBox Box) {
    Boxes.push_back(Box);
    if (OnShow) OnShow(Box);
}
void TRecordingMessageBoxes::ShowMessage(const QString& Text) { Record({bkMessage, ApplicationTitle(), Text}); }
void TRecordingMessageBoxes::ShowWarning(const QString& Caption, const QString& Text) {
    Record({bkWarning, Caption, Text});
}
void TRecordingMessageBoxes::ShowError(const QString& Caption, const QString& Text) {
    Record({bkError, Caption, Text});
}

TWorkingDirScope::TWorkingDirScope(const std::string& Folder) {
    char Buf[4096];
    if (::getcwd(Buf, sizeof Buf) == nullptr) throw std::runtime_error("getcwd");
    FSaved = Buf;
    if (::chdir(Folder.c_str()) != 0) throw std::runtime_error("chdir " + Folder);
}
TWorkingDirScope::~TWorkingDirScope() { (void)::chdir(FSaved.c_str()); }

TEnvScope::TEnvScope(const char* Name, const char* Value) : FName(Name) {
    const char* Old = std::getenv(Name);
    FHad = Old != nullptr;
    if (FHad) FSaved = Old;
    if (Value != nullptr)
        ::setenv(Name, Value, 1);
    else
        ::unsetenv(Name);
}
TEnvScope::~TEnvScope() {
    if (FHad)
        ::setenv(FName.c_str(), FSaved.c_str(), 1);
    else
        ::unsetenv(FName.c_str());
}

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer T;
    T.start();
    while (!Done()) {
        if (T.elapsed() > TimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ::usleep(2000);
    }
    return true;
}

void Pump(int Ms) {
    WaitFor([] { return false; }, Ms);
}

QImage QuadrantPicture(int Width, int Height) {
    QImage Img(Width, Height, QImage::Format_RGB32);
    QPainter P(&Img);
    const int HalfW = Width / 2, HalfH = Height / 2;
    P.fillRect(0, 0, HalfW, HalfH, Qt::red);
    P.fillRect(HalfW, 0, Width - HalfW, HalfH, Qt::green);
    P.fillRect(0, HalfH, HalfW, Height - HalfH, Qt::blue);
    P.fillRect(HalfW, HalfH, Width - HalfW, Height - HalfH, Qt::white);
    return Img;
}

QImage NoisePicture(int Width, int Height, unsigned Seed) {
    QImage Img(Width, Height, QImage::Format_RGB32);
    std::uint32_t X = Seed * 2654435761u + 1;
    for (int Y = 0; Y < Height; ++Y) {
        auto* Line = reinterpret_cast<std::uint32_t*>(Img.scanLine(Y));
        for (int I = 0; I < Width; ++I) {
            X ^= X << 13;
            X ^= X >> 17;
            X ^= X << 5;
            Line[I] = 0xFF000000u | (X & 0xFFFFFFu);
        }
    }
    return Img;
}
