// The Qt application object of the launcher: sets the title, installs the Qt
// message boxes and routes exceptions that escape event handlers to the
// general error handler instead of letting them end the program.
#pragma once

#include <QApplication>

#include "app/qt/QtMessageBoxService.h"

class TQMZApplication : public QApplication {
public:
    TQMZApplication(int& argc, char** argv);
    ~TQMZApplication() override;
    bool notify(QObject* Receiver, QEvent* Event) override;

private:
    TQtMessageBoxService FBoxes;
    TMessageBoxService* FPreviousBoxes;
};
