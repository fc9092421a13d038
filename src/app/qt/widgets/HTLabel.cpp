#include "app/qt/widgets/HTLabel.h"

#include <QTextDocument>

THTLabel::THTLabel(QWidget* Parent) : QLabel(Parent) {
    setTextFormat(Qt::RichText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
}

void THTLabel::SetCaption(const QString& Markup) { setText(Markup); }

QString THTLabel::PlainCaption() const {
    QTextDocument Doc;
    Doc.setHtml(text());
    return Doc.toPlainText();
}
