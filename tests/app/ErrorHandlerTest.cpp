#include <gtest/gtest.h>

#include <QTimer>

#include "AppTestSupport.h"
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
    for (const auto& C : Cases) {
        EXPECT_EQ(ErrorBoxText(QString::fromUtf16(C.Message)), QString::fromUtf16(C.Shown))
            << QString::fromUtf16(C.Message).toStdString();
    }
}

TEST(ErrorHandlerTest, ExceptionEscapingAnEventHandlerIsShownAndTheProgramGoesOn) {
    TRecordingMessageBoxes Boxes;
    bool LaterEventRan = false;
    QTimer::singleShot(0, [] { throw EReadError("Stream read error"); });
    QTimer::singleShot(20, [&] { LaterEventRan = true; });
    ASSERT_TRUE(WaitFor([&] { return LaterEventRan; }, 3000));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
    EXPECT_EQ(Boxes.Boxes[0].Caption, QString::fromUtf8("컨텐츠 실행기"));
    EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("Stream read error."));
}

TEST(ErrorHandlerTest, FailedAllocationIsReportedAsOutOfMemory) {
    TRecordingMessageBoxes Boxes;
    HandleException(std::make_exception_ptr(std::bad_alloc()));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("Out of memory."));
}
