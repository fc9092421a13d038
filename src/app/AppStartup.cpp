#include "app/AppStartup.h"

#include <QCoreApplication>

#include "app/AppConsts.h"
#include "app/MessageBoxService.h"
#include "shellutil/ProgramLaunch.h"

void StartApplication() {
    QCoreApplication::setApplicationName(QString::fromUtf8(SApplicationTitle));
    SetShellMessageProc(
        [](const std::u16string& Text) { MessageBoxes().ShowMessage(QString::fromStdU16String(Text)); });
}
