#include "app/qt/widgets/TransparentButton.h"

#include <QPainter>

TTransparentButton::TTransparentButton(QWidget* Parent) : QAbstractButton(Parent) {
    // Keys belong to the window (">" and "X" have keyboard equivalents there),
    // so the buttons never take focus.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QSize TTransparentButton::sizeHint() const {
    const QSize Text = fontMetrics().size(Qt::TextShowMnemonic, text());
    return {Text.width() + 8, Text.height() + 8};
}

void TTransparentButton::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.setFont(font());
    P.setPen(palette().color(QPalette::ButtonText));
    // A pressed caption moves by one pixel, the only feedback a button without a face can give.
    const QRect R = isDown() ? rect().translated(1, 1) : rect();
    P.drawText(R, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
