// The application's general error handler: every exception that no handler of
// a window catches ends here, is shown in an error box and the program goes on.
#pragma once

#include <exception>
#include <string>

// The text the error box shows: "." is appended when the message's last
// character has a code above that of ".".
std::u16string ErrorBoxText(const std::u16string& Message);

// Message of an exception as the user reads it (8-bit texts are in the process
// code page).
std::u16string ExceptionMessage(const std::exception& E);
// The same for any raised object, known or not.
std::u16string ExceptionMessage(const std::exception_ptr& Error);

// Shows the exception held by Error in an error box captioned with the
// application title.
void HandleException(std::exception_ptr Error);

// Runs one event handler of a window. An exception it raises goes to
// HandleException right here: unwinding through the windowing system's own
// frames would skip their clean-up (and across a window procedure it is not
// even defined).
template <typename THandler>
void CallEventHandler(THandler&& Handler) {
    try {
        Handler();
    } catch (...) {
        HandleException(std::current_exception());
    }
}
