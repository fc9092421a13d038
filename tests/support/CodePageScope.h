// Pins the process code page for one test and restores it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/CodePage.h"

class TCodePageScope {
public:
    explicit TCodePageScope(const char* Name) : FOld(SystemCodePage()), FOk(SetSystemCodePage(Name)) {}
    ~TCodePageScope() { SetSystemCodePage(FOld); }
    TCodePageScope(const TCodePageScope&) = delete;
    TCodePageScope& operator=(const TCodePageScope&) = delete;
    // False when the platform does not know the code page.
    bool Ok() const { return FOk; }

private:
    std::string FOld;
    bool FOk;
};
