#include "app/MessageBoxService.h"

#include <cstdio>

#include "app/AppConsts.h"
#include "runtime/CodePage.h"

namespace {

class TStderrMessageBoxService : public TMessageBoxService {
public:
    void ShowMessage(const std::u16string& Text) override { Write(ApplicationTitle(), Text); }
    void ShowWarning(const std::u16string& Caption, const std::u16string& Text) override { Write(Caption, Text); }
    void ShowError(const std::u16string& Caption, const std::u16string& Text) override { Write(Caption, Text); }

private:
    static void Write(const std::u16string& Caption, const std::u16string& Text) {
        std::fprintf(stderr, "%s: %s\n", UnicodeToUTF8(Caption).c_str(), UnicodeToUTF8(Text).c_str());
    }
};

TMessageBoxService* CurrentService = nullptr;

}  // namespace

TMessageBoxService& MessageBoxes() {
    static TStderrMessageBoxService Fallback;
    return CurrentService != nullptr ? *CurrentService : Fallback;
}

TMessageBoxService* SetMessageBoxService(TMessageBoxService* Service) {
    TMessageBoxService* Previous = CurrentService;
    CurrentService = Service;
    return Previous;
}

const std::u16string& ApplicationTitle() {
    static const std::u16string Title = AppText(SApplicationTitle);
    return Title;
}

std::u16string AppText(const char* Utf8) { return UTF8ToUnicode(Utf8); }
