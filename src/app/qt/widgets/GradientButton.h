// Push button whose face is a vertical gradient with light and dark edges and a
// border; the look follows the pointer (hot tracking), the pressed and the
// disabled state, and a coloured focus rectangle marks keyboard focus.
#pragma once

#include <QAbstractButton>
#include <QColor>

#include "app/LauncherLayout.h"

class TGradientButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TGradientButton(QWidget* Parent = nullptr);

    void SetColors(TGradientButtonState State, const TGradientButtonColors& Colors);
    const TGradientButtonColors& Colors(TGradientButtonState State) const { return FColors[State]; }
    void SetFocusRectColor(const QColor& Color) { FFocusRectColor = Color; }
    QColor FocusRectColor() const { return FFocusRectColor; }
    // Caption at the top of the face instead of its centre.
    void SetCaptionAtTop(bool AtTop) { FCaptionAtTop = AtTop; }
    bool CaptionAtTop() const { return FCaptionAtTop; }

    // The state whose colours the next paint uses.
    TGradientButtonState State() const;
    bool MouseOver() const { return FMouseOver; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    TGradientButtonColors FColors[4];
    QColor FFocusRectColor{0xFF, 0x80, 0x40};

    bool FCaptionAtTop = false;
    bool FMouseOver = false;
};
