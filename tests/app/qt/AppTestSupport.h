// Pieces of the Qt window tests on top of the core's test support: waiting
// for the event loop.
#pragma once

#include <functional>

#include "AppCoreTestSupport.h"

// Runs the event loop until Done() or TimeoutMs passed; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs);
// Runs the event loop for Ms.
void Pump(int Ms);
