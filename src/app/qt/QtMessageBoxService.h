// Message boxes of the Qt front end.
#pragma once

#include "app/MessageBoxService.h"

class TQtMessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const std::u16string& Text) override;
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override;
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override;
};
