#include "app/MessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

namespace {

TMessageBoxService* CurrentService = nullptr;

void ShowBox(QMessageBox::Icon Icon, const QString& Caption, const QString& Text) {
    QMessageBox Box(Icon, Caption, Text, QMessageBox::Ok, QApplication::activeWindow());
    Box.exec();
}

}  // namespace

void TQtMessageBoxService::ShowMessage(const QString& Text) {
    ShowBox(QMessageBox::NoIcon, ApplicationTitle(), Text);
}

void TQtMessageBoxService::ShowWarning(const QString& Caption, const QString& Text) {
    ShowBox(QMessageBox::Warning, Caption, Text);
}

void TQtMessageBoxService::ShowError(const QString& Caption, const QString& Text) {
    ShowBox(QMessageBox::Critical, Caption, Text);
}

TMessageBoxService& MessageBoxes() {
    static TQtMessageBoxService QtService;
    return CurrentService != nullptr ? *CurrentService : QtService;
}

TMessageBoxService* SetMessageBoxService(TMessageBoxService* Service) {
    TMessageBoxService* Previous = CurrentService;
    CurrentService = Service;
    return Previous;
}

QString ApplicationTitle() { return QCoreApplication::applicationName(); }
