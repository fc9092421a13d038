// Message boxes of the Win32 front end: MessageBoxW with one OK button, owned
// by the launcher or the viewer (MessageBoxOwner), so that they are modal to
// the program whichever window is active.
#pragma once

#include "app/MessageBoxService.h"

class TWin32MessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const std::u16string& Text) override;
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override;
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override;
};
