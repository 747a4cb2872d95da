#include "WindowTestSupport.h"

#include "platform/window/Display.h"

#include <algorithm>

using namespace win;

namespace
{
class WindowTest : public WindowFixture
{
};
} // namespace

TEST_F(WindowTest, ClassesAndWindowsAreFoundAndForgotten)
{
    EXPECT_FALSE(RegisterWindowClass("TestClass", 0, &RecordingProc, nullptr)) << "a name registers once";
    EXPECT_EQ(CreateWindow("NoSuchClass", "", 0, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(FindWindow("TestClass"), nullptr);

    const WindowHandle window = MakeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FindWindow("TestClass"), window);
    EXPECT_EQ(FindWindow(nullptr), nullptr);
    EXPECT_EQ(GetWindowText(window), "title");
    EXPECT_TRUE(SetWindowText(window, "Tessarine"));
    EXPECT_EQ(GetWindowText(window), "Tessarine");
    EXPECT_TRUE(Recorded().empty()) << "creation sends nothing";

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(RecordedIds(), std::vector<uint32_t>{kMsgDestroy});
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FindWindow("TestClass"), nullptr);
    EXPECT_FALSE(DestroyWindow(window)) << "a stale handle is refused";
    EXPECT_FALSE(SetWindowText(window, "x"));
    Rect rect;
    EXPECT_FALSE(GetClientRect(window, rect));
}

TEST_F(WindowTest, StylesDecideTheFrameAroundTheClientArea)
{
    Rect rect{0, 0, 800, 450};
    ASSERT_TRUE(AdjustWindowRect(rect, kStyleOverlappedWindow, false));
    EXPECT_EQ(rect, (Rect{-kSizingBorder, -kSizingBorder - kCaptionHeight, 800 + kSizingBorder, 450 + kSizingBorder}));
    Rect popup{0, 0, 800, 450};
    ASSERT_TRUE(AdjustWindowRect(popup, kStylePopup, false));
    EXPECT_EQ(popup, (Rect{0, 0, 800, 450}));

    const WindowHandle window = MakeWindow();
    EXPECT_EQ(GetWindowLong(window, kLongStyle), kStylePopup);
    EXPECT_EQ(SetWindowLong(window, kLongStyle, kStyleOverlappedWindow), kStylePopup);
    Rect client;
    ASSERT_TRUE(GetClientRect(window, client));
    EXPECT_EQ(client, (Rect{0, 0, 800 - 2 * kSizingBorder, 480 - 2 * kSizingBorder - kCaptionHeight}));
    MoveWindow(window, 100, 100, 4, 4, false);
    ASSERT_TRUE(GetClientRect(window, client));
    EXPECT_EQ(client, (Rect{0, 0, 0, 0})) << "smaller than its frame";
    Point origin;
    ASSERT_TRUE(ClientToScreen(window, origin));
    EXPECT_EQ(origin, (Point{100 + kSizingBorder, 100 + kSizingBorder + kCaptionHeight}));
    ASSERT_TRUE(ScreenToClient(window, origin));
    EXPECT_EQ(origin, (Point{0, 0}));
}

TEST_F(WindowTest, MovingAndSizingSendMoveAndSizeAtOnce)
{
    const WindowHandle window = MakeWindow();
    EXPECT_FALSE(IsTopMost(window) || IsZoomed(window)) << "a new window is neither";
    ASSERT_TRUE(SetWindowPos(window, kTopMost, 0, 0, 1024, 576, kPosFrameChanged));
    ASSERT_EQ(RecordedIds(), (std::vector<uint32_t>{kMsgMove, kMsgSize}));
    EXPECT_EQ(Recorded()[0].lParam, MakeLParam(0, 0));
    EXPECT_EQ(Recorded()[1].wParam, kSizeRestored);
    EXPECT_EQ(LowWord(Recorded()[1].lParam), 1024);
    EXPECT_EQ(HighWord(Recorded()[1].lParam), 576);
    EXPECT_TRUE(IsTopMost(window));

    Recorded().clear();
    ASSERT_TRUE(SetWindowPos(window, kNoTopMost, 5, 5, 0, 0, kPosNoSize));
    EXPECT_EQ(RecordedIds(), std::vector<uint32_t>{kMsgMove}) << "same size, no size message";
    EXPECT_FALSE(IsTopMost(window));
    Rect outer;
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, (Rect{5, 5, 1029, 581}));

    Recorded().clear();
    ASSERT_TRUE(MoveWindow(window, 5, 5, 800, 450, true));
    EXPECT_EQ(RecordedIds(), std::vector<uint32_t>{kMsgSize});
    ASSERT_TRUE(MoveWindow(window, 5, 5, -1, -1, false));
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, (Rect{5, 5, 5, 5})) << "a negative size is none";
}

TEST_F(WindowTest, ShowingGivesFocusAndMinimisingTakesIt)
{
    const WindowHandle window = MakeWindow();
    EXPECT_EQ(GetFocus(), nullptr) << "hidden windows have no focus";
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(ShowWindow(window, kShowNormal));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetFocus(), window);
    EXPECT_EQ(GetForegroundWindow(), window);
    ASSERT_FALSE(Recorded().empty());
    EXPECT_EQ(Recorded().back().id, kMsgActivate);
    EXPECT_EQ(Recorded().back().wParam, kActivateActive);

    Recorded().clear();
    EXPECT_EQ(SetFocus(nullptr), window);
    EXPECT_EQ(RecordedIds(), std::vector<uint32_t>{kMsgActivate});
    EXPECT_EQ(Recorded().back().wParam, kActivateInactive);

    // Minimised: empty client area, a size message that says so, and no focus.
    SetFocus(window);
    Recorded().clear();
    ShowWindow(window, kShowMinimized);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(GetFocus(), nullptr);
    Rect client;
    GetClientRect(window, client);
    EXPECT_EQ(client.Width(), 0);
    ASSERT_EQ(Recorded().back().id, kMsgSize);
    EXPECT_EQ(Recorded().back().wParam, kSizeMinimized);

    // Restored: back to the rectangle it had, and focus again.
    ShowWindow(window, kShowRestore);
    EXPECT_FALSE(IsIconic(window));
    Rect outer;
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, (Rect{100, 100, 900, 580}));
    EXPECT_EQ(GetFocus(), window);
    Recorded().clear();
    ShowWindow(MakeWindow(), kShowNormal);
    EXPECT_EQ(GetFocus(), window) << "showing another window keeps the focus";
    SetFocus(window);
    EXPECT_TRUE(Recorded().empty()) << "no activation for the focused window";
    EXPECT_TRUE(ShowWindow(window, kShowHide)) << "it was visible";
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetFocus(), nullptr) << "hiding takes the focus";
}

TEST_F(WindowTest, MaximisingFillsTheDesktopAndRestoreUndoesIt)
{
    const WindowHandle window = MakeWindow(kStyleOverlappedWindow);
    ShowWindow(window, kShowMaximize);
    EXPECT_TRUE(IsZoomed(window));
    Rect client;
    GetClientRect(window, client);
    EXPECT_EQ(client.Width(), GetSystemMetrics(kMetricScreenWidth));
    EXPECT_EQ(client.Height(), GetSystemMetrics(kMetricScreenHeight));
    ASSERT_EQ(Recorded().back().id, kMsgActivate);
    EXPECT_EQ(Recorded()[Recorded().size() - 2].wParam, kSizeMaximized);
    ShowWindow(window, kShowMinimized);
    ShowWindow(window, kShowRestore);
    Rect outer;
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, (Rect{100, 100, 900, 580})) << "minimised from maximised, restored to normal";

    // A minimised window moved by the program comes back at the new place.
    ShowWindow(window, kShowMinimized);
    SetWindowPos(window, nullptr, 10, 20, 300, 200, kPosNoZOrder);
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, kShowRestore);
    GetWindowRect(window, outer);
    EXPECT_EQ(outer, (Rect{10, 20, 310, 220}));
    ShowWindow(window, kShowMaximize);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, kPosNoSize | kPosNoMove | kPosFrameChanged);
    EXPECT_TRUE(IsZoomed(window));
    SetWindowPos(window, nullptr, 10, 20, 0, 0, kPosNoSize);
    EXPECT_FALSE(IsZoomed(window)) << "moved, no longer maximised";
}

TEST_F(WindowTest, PaintingFollowsInvalidation)
{
    const WindowHandle window = MakeWindow();
    MessageHook() = [](const RecordedMessage& message, intptr_t&) {
        if (message.id != kMsgPaint)
            return false;
        PaintInfo info;
        BeginPaint(message.window, info);
        FillRect(message.window, info.paint, 0);
        EndPaint(message.window, info);
        return true;
    };
    UpdateWindow(window);
    EXPECT_TRUE(Recorded().empty()) << "a hidden window is not painted";
    ShowWindow(window, kShow);
    UpdateWindow(window);
    Rect fill;
    uint32_t colour = 1;
    uint32_t fills = 0;
    ASSERT_TRUE(GetLastFill(window, fill, colour, fills));
    EXPECT_EQ(fills, 1u);
    EXPECT_EQ(fill, (Rect{0, 0, 800, 480}));
    EXPECT_EQ(colour, 0u);
    UpdateWindow(window);
    GetLastFill(window, fill, colour, fills);
    EXPECT_EQ(fills, 1u) << "painted windows are valid";

    SetCursorPos(7, 9);
    InvalidateRect(window);
    PumpMessages();
    GetLastFill(window, fill, colour, fills);
    EXPECT_EQ(fills, 2u) << "the queue makes a paint message for an invalid window";
    EXPECT_EQ(Recorded().back().position, (Point{7, 9})) << "made with the cursor position, as a posted one";
    PumpMessages();
    GetLastFill(window, fill, colour, fills);
    EXPECT_EQ(fills, 2u);

    // Left to the default handling, a paint validates the window without drawing.
    MessageHook() = nullptr;
    InvalidateRect(window);
    PumpMessages();
    PumpMessages();
    EXPECT_EQ(std::count_if(Recorded().begin(), Recorded().end(), [](const RecordedMessage& m) { return m.id == kMsgPaint; }),
              3);
    GetLastFill(window, fill, colour, fills);
    EXPECT_EQ(fills, 2u);
}

TEST_F(WindowTest, DefaultHandlingClosesAndSetsTheClassCursor)
{
    const WindowHandle window = MakeWindow();
    EXPECT_EQ(DefWindowProc(window, kMsgSetCursor, 0, MakeLParam(int32_t(kHitClient), 0)), 1);
    EXPECT_EQ(GetCursor(), LoadArrowCursor());
    EXPECT_EQ(DefWindowProc(window, kMsgSetCursor, 0, MakeLParam(2, 0)), 0) << "only over the client area";

    SetCapture(window);
    ShowWindow(window, kShow);
    DefWindowProc(window, kMsgClose, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowTest, KeyStateAndAttention)
{
    EXPECT_EQ(GetAsyncKeyState(17), 0);
    const WindowHandle window = MakeWindow();
    EXPECT_TRUE(MessageBeep(0));
    EXPECT_EQ(GetBeepCount(), 1u);
    EXPECT_TRUE(FlashWindow(window, kFlashAll | kFlashTimerNoForeground, 1000));
    uint32_t flags = 0;
    uint32_t count = 0;
    EXPECT_EQ(GetFlashCount(window, &flags, &count), 1u);
    EXPECT_EQ(flags, 15u);
    EXPECT_EQ(count, 1000u);
}
