#include "app/qt/QtApplication.h"

#include "app/AppConsts.h"
#include "app/AppStartup.h"
#include "app/ErrorHandler.h"

TQMZApplication::TQMZApplication(int& argc, char** argv)
    : QApplication(argc, argv), FPreviousBoxes(SetMessageBoxService(&FBoxes)) {
    setApplicationName(QString::fromUtf8(SApplicationTitle));
    StartApplication();
}

TQMZApplication::~TQMZApplication() { SetMessageBoxService(FPreviousBoxes); }

bool TQMZApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        HandleException(std::current_exception());
        return true;
    }
}
