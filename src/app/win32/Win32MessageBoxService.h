// Message boxes of the Win32 front end: MessageBoxW, owned by the active
// window, with one OK button.
#pragma once

#include "app/MessageBoxService.h"

class TWin32MessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const std::u16string& Text) override;
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override;
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override;
};
