#include <gtest/gtest.h>

#include <QTimer>

#include "AppTestSupport.h"
#include "runtime/Exceptions.h"

// The application object is the last net: an exception that leaves a slot
// reaches the error box, and the event loop goes on.
TEST(QtErrorHandlerTest, ExceptionEscapingAnEventHandlerIsShownAndTheProgramGoesOn) {
    TRecordingMessageBoxes Boxes;
    bool LaterEventRan = false;
    QTimer::singleShot(0, [] { throw EReadError("Stream read error"); });
    QTimer::singleShot(20, [&] { LaterEventRan = true; });
    ASSERT_TRUE(WaitFor([&] { return LaterEventRan; }, 3000));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
    EXPECT_EQ(Boxes.Boxes[0].Text, u"Stream read error.");
}
