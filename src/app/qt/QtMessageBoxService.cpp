#include "app/qt/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

#include "app/qt/QtText.h"
#include "app/qt/umain.h"

namespace {

// The window a box belongs to, whichever window of the system is active: the
// viewer while it is shown modally, else the launcher.
QWidget* BoxOwner() {
    if (QWidget* Modal = QApplication::activeModalWidget(); Modal != nullptr && Modal->isVisible()) return Modal;
    for (QWidget* W : QApplication::topLevelWidgets())
        if (W->isVisible() && qobject_cast<TForm1*>(W) != nullptr) return W;
    return QApplication::activeWindow();
}

void ShowBox(QMessageBox::Icon Icon, const std::u16string& Caption, const std::u16string& Text) {
    QMessageBox Box(Icon, ToQString(Caption), ToQString(Text), QMessageBox::Ok, BoxOwner());
    Box.exec();
}

}  // namespace

void TQtMessageBoxService::ShowMessage(const std::u16string& Text) {
    ShowBox(QMessageBox::NoIcon, ApplicationTitle(), Text);
}

void TQtMessageBoxService::ShowWarning(const std::u16string& Caption, const std::u16string& Text) {
    ShowBox(QMessageBox::Warning, Caption, Text);
}

void TQtMessageBoxService::ShowError(const std::u16string& Caption, const std::u16string& Text) {
    ShowBox(QMessageBox::Critical, Caption, Text);
}
