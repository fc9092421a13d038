// The exception tree every failure of the system travels in. Each class carries
// one message text and nothing else; callers catch by class, users read the text.
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

#define RTL_DECLARE_EXCEPTION(Name, Base)        \
    class Name : public Base {                   \
    public:                                      \
        using Base::Base;                        \
    }

RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EReadError, EStreamError);
RTL_DECLARE_EXCEPTION(EWriteError, EStreamError);
RTL_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
RTL_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
RTL_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
RTL_DECLARE_EXCEPTION(ERangeError, Exception);
RTL_DECLARE_EXCEPTION(EListError, Exception);
RTL_DECLARE_EXCEPTION(EConvertError, Exception);
RTL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
