#include "app/qt/widgets/CaptionPanel.h"

TCaptionPanel::TCaptionPanel(const QString& Caption, QWidget* Parent) : QLabel(Caption, Parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}
