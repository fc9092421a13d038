// A caption-only button without a background of its own: whatever lies under
// it (the picture) shows through around the caption.
#pragma once

#include <QAbstractButton>

class TTransparentButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TTransparentButton(QWidget* Parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;
};
