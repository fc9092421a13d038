// Label whose caption carries inline markup (<b>, <i>, <u>, <font color=...>).
#pragma once

#include <QLabel>

class THTLabel : public QLabel {
    Q_OBJECT
public:
    explicit THTLabel(QWidget* Parent = nullptr);
    // Caption in markup; plainText() of the label gives the text without it.
    void SetCaption(const QString& Markup);
    QString PlainCaption() const;
};
