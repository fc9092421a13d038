// Checks of what a call raises.
#pragma once

#include <string>

#include <gtest/gtest.h>

// The message Fn raises as an E; "" when it raises nothing.
template <typename E, typename F>
std::string MessageOf(F&& Fn) {
    try {
        Fn();
    } catch (const E& Ex) {
        return Ex.Message();
    }
    return std::string();
}

// Call must raise an E carrying exactly Message.
template <typename E, typename F>
void ExpectRaises(F&& Call, const std::string& Message) {
    try {
        Call();
        ADD_FAILURE() << "no exception, expected: " << Message;
    } catch (const E& Ex) {
        EXPECT_EQ(Ex.Message(), Message);
    }
}
