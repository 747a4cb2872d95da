#include "WindowTestSupport.h"

#include "platform/os/Thread.h"
#include "platform/window/Cursor.h"
#include "platform/window/WindowTestInput.h"

#include <csignal>
#include <cstdlib>
#include <thread>

using namespace win;

namespace
{
class WindowMessagesTest : public WindowFixture
{
};
} // namespace

TEST_F(WindowMessagesTest, QueueKeepsOrderAndPeekCanLeaveAMessage)
{
    const WindowHandle window = MakeWindow();
    test::PostKeyDown(window, 13);
    test::PostChar(window, 'a');
    EXPECT_EQ(GetQueuedMessageCount(), 2u);
    Message message;
    ASSERT_TRUE(PeekMessage(message, false));
    EXPECT_EQ(message.id, kMsgKeyDown);
    EXPECT_EQ(GetQueuedMessageCount(), 2u);
    PumpMessages();
    ASSERT_EQ(Recorded().size(), 2u);
    EXPECT_EQ(Recorded()[0].id, kMsgKeyDown);
    EXPECT_EQ(Recorded()[0].wParam, 13u);
    EXPECT_EQ(Recorded()[1].id, kMsgChar);
    EXPECT_EQ(Recorded()[1].wParam, uintptr_t('a'));
    EXPECT_FALSE(PeekMessage(message, true));
}

TEST_F(WindowMessagesTest, MessagesOfDestroyedWindowsAndOtherThreadsAreNotDelivered)
{
    const WindowHandle gone = MakeWindow();
    EXPECT_TRUE(PostMessage(gone, kMsgKeyDown, 1, 1)) << "queued while the window lives";
    DestroyWindow(gone);
    Recorded().clear();

    // A window made by another thread keeps its messages for that thread.
    WindowHandle other = nullptr;
    std::thread maker([&] { other = MakeWindow(); });
    maker.join();
    ASSERT_NE(other, nullptr);
    EXPECT_NE(GetWindowThread(other), os::CurrentThreadId());
    test::PostKeyDown(other, 2);
    PumpMessages();
    EXPECT_TRUE(Recorded().empty());
    EXPECT_EQ(GetQueuedMessageCount(), 0u);
    EXPECT_FALSE(PostMessage(nullptr, kMsgClose, 0, 0));
}

TEST_F(WindowMessagesTest, MouseMessagesCarryExtraInfoPositionAndASetCursorFirst)
{
    const WindowHandle window = MakeWindow();
    test::PostMouse(window, kMsgMiddleButtonDoubleClick, 40, 30, kPenOrTouchSignature | 0x12);
    SetCursorPos(5, 6); // moved on before the message is handled
    PumpMessages();
    ASSERT_EQ(RecordedIds(), (std::vector<uint32_t>{kMsgSetCursor, kMsgMiddleButtonDoubleClick}));
    EXPECT_EQ(LowWord(Recorded()[0].lParam), kHitClient);
    EXPECT_EQ(HighWord(Recorded()[0].lParam), int32_t(kMsgMiddleButtonDoubleClick));
    const RecordedMessage& press = Recorded()[1];
    EXPECT_EQ(press.extraInfo, kPenOrTouchSignature | 0x12);
    EXPECT_EQ(press.lParam, MakeLParam(40, 30));
    EXPECT_EQ(press.position, (Point{140, 130})) << "where the cursor was, on the desktop";
    EXPECT_EQ(GetMessageExtraInfo(), 0u) << "outside a dispatch";
    EXPECT_EQ(GetMessagePos(), (Point{5, 6})) << "the cursor, outside a dispatch";

    Recorded().clear();
    test::PostMouseWheel(window, -120);
    PumpMessages();
    ASSERT_EQ(RecordedIds(), std::vector<uint32_t>{kMsgMouseWheel});
    EXPECT_EQ(SignedHighWord(intptr_t(Recorded()[0].wParam)), -120);

    // Every other mouse message is told where the cursor is first too.
    for (const uint32_t id : {kMsgMouseMove, kMsgLeftButtonDown, kMsgLeftButtonUp, kMsgLeftButtonDoubleClick,
                              kMsgRightButtonDown, kMsgRightButtonUp, kMsgRightButtonDoubleClick, kMsgMiddleButtonDown,
                              kMsgMiddleButtonUp})
    {
        Recorded().clear();
        test::PostMouse(window, id, 1, 2);
        PumpMessages();
        EXPECT_EQ(RecordedIds(), (std::vector<uint32_t>{kMsgSetCursor, id})) << id;
    }
}

TEST_F(WindowMessagesTest, HelpersPostWhatTheDesktopWould)
{
    const WindowHandle window = MakeWindow();
    test::SetKeyHeld(17, true);
    EXPECT_LT(GetAsyncKeyState(17), 0) << "the high bit marks a held key";
    test::SetKeyHeld(17, false);
    EXPECT_EQ(GetAsyncKeyState(17), 0);
    EXPECT_EQ(GetAsyncKeyState(4000), 0);

    test::PostTouch(window, 3, 0x55);
    test::PostDeviceChange(window);
    PumpMessages();
    ASSERT_EQ(RecordedIds(), (std::vector<uint32_t>{kMsgTouch, kMsgDeviceChange}));
    EXPECT_EQ(Recorded()[0].wParam, 3u);
    EXPECT_EQ(Recorded()[0].lParam, 0x55);

    // A drag sends the sizing message with the rectangle; the window takes what the procedure left.
    MessageHook() = [](const RecordedMessage& message, intptr_t& result) {
        if (message.id != kMsgSizing)
            return false;
        reinterpret_cast<Rect*>(message.lParam)->bottom = 700;
        result = 1;
        return true;
    };
    Recorded().clear();
    const Rect taken = test::DragFrame(window, kEdgeTopLeft, Rect{40, 60, 900, 580});
    EXPECT_EQ(taken, (Rect{40, 60, 900, 700}));
    ASSERT_FALSE(Recorded().empty());
    EXPECT_EQ(Recorded()[0].id, kMsgSizing);
    EXPECT_EQ(Recorded()[0].wParam, kEdgeTopLeft);
    Rect outer;
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, taken);

    test::PostClose(window);
    PumpMessages();
    EXPECT_FALSE(IsWindow(window)) << "close goes to the default handling, which destroys";
}

TEST_F(WindowMessagesTest, FrameLimitPostsACloseOnTheLastFrame)
{
    const WindowHandle window = MakeWindow();
    SetMaxFrames(3);
    CountFrame();
    CountFrame();
    EXPECT_EQ(GetQueuedMessageCount(), 0u);
    CountFrame();
    EXPECT_EQ(GetCountedFrames(), 3u);
    Message message;
    ASSERT_TRUE(PeekMessage(message, true));
    EXPECT_EQ(message.id, kMsgClose);
    EXPECT_EQ(message.window, window);
    CountFrame();
    EXPECT_EQ(GetQueuedMessageCount(), 0u) << "one close only";
}

// A game started with a frame limit counts from its first frame. The threadsafe style runs the check
// in a freshly started copy of this program, before any test could reset the count or the limit.
TEST(WindowMessagesDeathTest, ANewProcessReadsTheLimitAndHasCountedNoFrame)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("NORVEX_MAX_FRAMES", "7", 1);
    EXPECT_EXIT(_exit(GetCountedFrames() == 0 && GetMaxFrames() == 7 ? 0 : 1), testing::ExitedWithCode(0), "");
    unsetenv("NORVEX_MAX_FRAMES");
}

TEST_F(WindowMessagesTest, FrameLimitIsReadFromTheEnvironment)
{
    setenv("NORVEX_MAX_FRAMES", "2", 1);
    ResetWindowSystem();
    ASSERT_TRUE(RegisterWindowClass("TestClass", 0, &RecordingProc, nullptr));
    MakeWindow();
    unsetenv("NORVEX_MAX_FRAMES");
    EXPECT_EQ(GetMaxFrames(), 2u);

    for (const std::string text : {"12x", "abc", "0", "-5", " 5"})
    {
        setenv("NORVEX_MAX_FRAMES", text.c_str(), 1);
        ResetWindowSystem();
        testing::internal::CaptureStderr();
        EXPECT_EQ(GetMaxFrames(), 0u) << text << ": a malformed limit is no limit, and said so";
        EXPECT_NE(testing::internal::GetCapturedStderr().find("=" + text + " is not a positive number"), std::string::npos);
    }
    unsetenv("NORVEX_MAX_FRAMES");
}

TEST_F(WindowMessagesTest, TerminationSignalsBecomeACloseOnTheNextPeek)
{
    const WindowHandle window = MakeWindow();
    InstallCloseOnSignals();
    std::raise(SIGTERM);
    EXPECT_TRUE(IsWindow(window)) << "the handler itself touches no window";
    PumpMessages();
    EXPECT_FALSE(IsWindow(window));
    ASSERT_FALSE(Recorded().empty());
    EXPECT_EQ(Recorded()[0].id, kMsgClose);
    // A signal still pending at a reset does not close the windows made after it.
    std::raise(SIGTERM);
    ResetWindowSystem();
    ASSERT_TRUE(RegisterWindowClass("TestClass", 0, &RecordingProc, nullptr));
    const WindowHandle next = MakeWindow();
    PumpMessages();
    EXPECT_TRUE(IsWindow(next));
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
}
