// Raised panel showing one centred caption; a label, it does nothing when clicked.
#pragma once

#include <QLabel>

class TCaptionPanel : public QLabel {
    Q_OBJECT
public:
    explicit TCaptionPanel(const QString& Caption, QWidget* Parent = nullptr);
};
