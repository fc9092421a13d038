#include "app/ErrorHandler.h"

#include <new>

#include "app/AppConsts.h"
#include "app/MessageBoxService.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"

QString ErrorBoxText(const QString& Message) {
    if (!Message.isEmpty() && Message.back().unicode() > u'.') return Message + u'.';
    return Message;
}

QString ExceptionMessage(const std::exception& E) {
    if (dynamic_cast<const std::bad_alloc*>(&E) != nullptr) return QString::fromUtf8(SOutOfMemory);
    const std::u16string Text = AnsiToUnicode(E.what());
    return QString::fromStdU16String(Text);
}

void HandleException(std::exception_ptr Error) {
    QString Message;
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& E) {
        Message = ExceptionMessage(E);
    } catch (...) {
        Message = QString::fromUtf8(SUnknownException);
    }
    MessageBoxes().ShowError(ApplicationTitle(), ErrorBoxText(Message));
}

TQMZApplication::TQMZApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQMZApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        HandleException(std::current_exception());
        return true;
    }
}
