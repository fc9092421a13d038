// The one way the windows talk to the user through message boxes. Each front
// end installs its own service at start-up; tests install a recording one.
#pragma once

#include <string>

class TMessageBoxService {
public:
    virtual ~TMessageBoxService() = default;
    // Modal box with one OK button, captioned with the application title.
    virtual void ShowMessage(const std::u16string& Text) = 0;
    // Warning icon, one OK button, the given caption.
    virtual void ShowWarning(const std::u16string& Caption, const std::u16string& Text) = 0;
    // Error icon, one OK button, the given caption.
    virtual void ShowError(const std::u16string& Caption, const std::u16string& Text) = 0;
};

// The service in use. Until one is installed, boxes are written to the
// standard error stream (UTF-8).
TMessageBoxService& MessageBoxes();
// Installs Service (not owned; null restores the fallback). Returns the previous one.
TMessageBoxService* SetMessageBoxService(TMessageBoxService* Service);

// The application title: caption of every plain message box and of the error box.
const std::u16string& ApplicationTitle();

// A text of AppConsts.h (UTF-8) as UTF-16.
std::u16string AppText(const char* Utf8);
