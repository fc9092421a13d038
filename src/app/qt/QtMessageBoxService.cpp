#include "app/qt/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

#include "app/qt/QtText.h"

namespace {

void ShowBox(QMessageBox::Icon Icon, const std::u16string& Caption, const std::u16string& Text) {
    QMessageBox Box(Icon, ToQString(Caption), ToQString(Text), QMessageBox::Ok, QApplication::activeWindow());
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
