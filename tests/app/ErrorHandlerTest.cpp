#include <gtest/gtest.h>

#include <new>

#include "AppCoreTestSupport.h"
#include "app/ErrorHandler.h"
#include "runtime/Exceptions.h"

TEST(ErrorHandlerTest, AppendsFullStopOnlyAfterCharactersAboveIt) {
    struct {
        const char16_t* Message;
        const char16_t* Shown;
    } const Cases[] = {
        {u"JPEG error #42", u"JPEG error #42."},
        {u"Done.", u"Done."},
        {u"Really!", u"Really!"},    // '!' lies below '.'
        {u"a-", u"a-"},              // '-' lies below '.'
        {u"path/", u"path/."},       // '/' lies just above '.'
        {u"line\r\n", u"line\r\n"},  // control characters stay as they are
        {u"실행할 컨텐츠가 없습니다", u"실행할 컨텐츠가 없습니다."},
        {u"", u""},
    };
    for (const auto& C : Cases) EXPECT_EQ(ErrorBoxText(C.Message), C.Shown) << U8(C.Message);
}

TEST(ErrorHandlerTest, AnEventHandlersExceptionIsShownInTheErrorBoxAndCallingGoesOn) {
    struct {
        const char* What;
        std::function<void()> Handler;
        const char16_t* Shown;
    } const Cases[] = {
        {"stream error", [] { throw EReadError("Stream read error"); }, u"Stream read error."},
        {"failed allocation", [] { throw std::bad_alloc(); }, u"Out of memory."},
        {"no exception object", [] { throw 42; }, u"Unknown exception."},
        {"message ending in a full stop", [] { throw Exception("Cannot create file \"x\". Is a directory."); },
         u"Cannot create file \"x\". Is a directory."},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        TRecordingMessageBoxes Boxes;
        bool After = false;
        CallEventHandler(C.Handler);
        CallEventHandler([&] { After = true; });
        EXPECT_TRUE(After);
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
        EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
        EXPECT_EQ(Boxes.Boxes[0].Text, C.Shown);
    }
}
