#include "app/qt/widgets/GradientButton.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>

TGradientButton::TGradientButton(QWidget* Parent) : QAbstractButton(Parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    const TGradientButtonColors Plain{0xC0C0C0, 0x808080, 0xFFFFFF, 0x808080, 0x000000, 0x000000};
    for (auto& C : FColors) C = Plain;
}

void TGradientButton::SetColors(TGradientButtonState State, const TGradientButtonColors& Colors) {
    FColors[State] = Colors;
    update();
}

TGradientButtonState TGradientButton::State() const { return GradientButtonState(isEnabled(), isDown(), FMouseOver); }

QSize TGradientButton::sizeHint() const {
    const QSize Text = fontMetrics().size(Qt::TextShowMnemonic, text());
    return {Text.width() + 16, Text.height() + 12};
}

void TGradientButton::enterEvent(QEnterEvent* Event) {
    FMouseOver = true;
    update();
    QAbstractButton::enterEvent(Event);
}

void TGradientButton::leaveEvent(QEvent* Event) {
    FMouseOver = false;
    update();
    QAbstractButton::leaveEvent(Event);
}

void TGradientButton::paintEvent(QPaintEvent*) {
    const TGradientButtonColors& Colors = FColors[State()];
    const auto Rgb = [](TColorRGB C) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | C)); };
    const struct {
        QColor Face, Gradient, LightEdge, DarkEdge, Border, Text;
    } C{Rgb(Colors.Face), Rgb(Colors.Gradient), Rgb(Colors.LightEdge), Rgb(Colors.DarkEdge), Rgb(Colors.Border),
        Rgb(Colors.Text)};
    QPainter P(this);
    const QRect R = rect();

    QLinearGradient Fill(R.topLeft(), R.bottomLeft());
    Fill.setColorAt(0.0, C.Face);
    Fill.setColorAt(1.0, C.Gradient);
    P.fillRect(R.adjusted(1, 1, -1, -1), Fill);

    // Edges inside the border: light on top and left, dark on bottom and right.
    P.setPen(C.LightEdge);
    P.drawLine(R.left() + 1, R.top() + 1, R.right() - 1, R.top() + 1);
    P.drawLine(R.left() + 1, R.top() + 1, R.left() + 1, R.bottom() - 1);
    P.setPen(C.DarkEdge);
    P.drawLine(R.left() + 1, R.bottom() - 1, R.right() - 1, R.bottom() - 1);
    P.drawLine(R.right() - 1, R.top() + 1, R.right() - 1, R.bottom() - 1);
    P.setPen(C.Border);
    P.drawRect(R.adjusted(0, 0, -1, -1));

    const QRect TextRect = R.adjusted(4, 4, -4, -4);
    const int Align = Qt::AlignHCenter | (FCaptionAtTop ? Qt::AlignTop : Qt::AlignVCenter) | Qt::TextShowMnemonic;
    P.setPen(C.Text);
    P.setFont(font());
    P.drawText(TextRect, Align, text());

    if (hasFocus()) {
        QPen Focus(FFocusRectColor);
        Focus.setStyle(Qt::DotLine);
        P.setPen(Focus);
        P.drawRect(R.adjusted(3, 3, -4, -4));
    }
}
