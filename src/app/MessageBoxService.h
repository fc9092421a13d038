// The one way the windows talk to the user through message boxes. Windows ask
// the current service; tests install a recording service in its place.
#pragma once

#include <QString>

class QWidget;

class TMessageBoxService {
public:
    virtual ~TMessageBoxService() = default;
    // Modal box with one OK button, captioned with the application title.
    virtual void ShowMessage(const QString& Text) = 0;
    // Warning icon, one OK button, the given caption.
    virtual void ShowWarning(const QString& Caption, const QString& Text) = 0;
    // Error icon, one OK button, the given caption.
    virtual void ShowError(const QString& Caption, const QString& Text) = 0;
};

class TQtMessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const QString& Text) override;
    void ShowWarning(const QString& Caption, const QString& Text) override;
    void ShowError(const QString& Caption, const QString& Text) override;
};

// The service in use: the Qt one unless a test has installed its own.
TMessageBoxService& MessageBoxes();
// Installs Service (not owned; null restores the Qt service). Returns the previous one.
TMessageBoxService* SetMessageBoxService(TMessageBoxService* Service);

// The application title, as set at start-up.
QString ApplicationTitle();
