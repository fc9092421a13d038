// Message boxes of the Qt front end, each a child of the launcher or of the
// viewer while it is up, whichever window of the system is active.
#pragma once

#include "app/MessageBoxService.h"

class TQtMessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const std::u16string& Text) override;
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override;
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override;
};
