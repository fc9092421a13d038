#include "app/ErrorHandler.h"

#include <new>

#include "app/AppConsts.h"
#include "app/MessageBoxService.h"
#include "runtime/CodePage.h"
#include "runtime/RtlConsts.h"

std::u16string ErrorBoxText(const std::u16string& Message) {
    if (!Message.empty() && Message.back() > u'.') return Message + u'.';
    return Message;
}

std::u16string ExceptionMessage(const std::exception& E) {
    if (dynamic_cast<const std::bad_alloc*>(&E) != nullptr) return AppText(SOutOfMemory);
    return AnsiToUnicode(E.what());
}

std::u16string ExceptionMessage(const std::exception_ptr& Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& E) {
        return ExceptionMessage(E);
    } catch (...) {
        return AppText(SUnknownException);
    }
}

void HandleException(std::exception_ptr Error) {
    MessageBoxes().ShowError(ApplicationTitle(), ErrorBoxText(ExceptionMessage(Error)));
}
