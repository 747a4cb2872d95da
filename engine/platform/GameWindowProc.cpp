#include "engine/platform/GameWindow.h"

#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "engine/platform/PlatformState.h"
#include "platform/os/Clock.h"
#include "platform/window/Cursor.h"
#include "platform/window/WindowMessages.h"
#include "platform/window/WindowTestInput.h"
#include "renderer/NorvexRenderer.h"

namespace
{
constexpr uint32_t kKeyEnter = 13;
constexpr uint32_t kKeyControl = 17;
constexpr uintptr_t kCharBackspace = 8;
constexpr uint32_t kBlackBrush = 0;
// Pen and touch mark the mouse messages they synthesise in the upper 24 bits of the extra info.
constexpr uint32_t kSignatureMask = 0xFFFFFF00u;
// Touch-UI gestures off, multi-touch data on.
constexpr intptr_t kTabletGestureStatus = 0x01198319;
// Mouse moves this soon after a touch come from the touch.
constexpr int64_t kTouchMouseQuietTicks = os::kCounterFrequency * 3 / 10;
constexpr int64_t kResizeSettleTicks = os::kCounterFrequency / 5;

// Hands a mouse event at the message's position to the input manager, unless pen or touch made it.
void PassMouseEvent(win::WindowHandle window, uint32_t event, intptr_t lParam)
{
    if ((win::GetMessageExtraInfo() & kSignatureMask) == win::kPenOrTouchSignature)
        return;
    win::Rect client;
    if (!win::GetClientRect(window, client) || client.Width() <= 0 || client.Height() <= 0)
        return;
    gGame.GetInputManager().OnMouseButton(float(win::LowWord(lParam)) / float(client.Width()),
                                          float(win::HighWord(lParam)) / float(client.Height()), event);
}

intptr_t OnSetCursor(win::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    win::Point point = win::GetMessagePos();
    win::ScreenToClient(window, point);
    win::Rect client;
    win::GetClientRect(window, client);
    const bool inside = point.x > client.left && point.y > client.top && point.x < client.right &&
                        point.y < client.bottom;
    // The Game's own cursor, not whatever is current: once the pointer has crossed the frame the
    // current one is the arrow, and the Game's would never come back.
    if (inside && gGame.GetCursorHandle() != nullptr)
    {
        win::SetCursor(gGame.GetCursorHandle());
        return 1;
    }
    return win::DefWindowProc(window, message, wParam, lParam);
}

void OnSize(win::WindowHandle window)
{
    if (gPlatform.resizePending)
        return;
    win::Rect outer;
    win::GetWindowRect(window, outer);
    if (!gPlatform.displayChanged && outer.Width() < outer.Height())
    {
        ConstrainSizingRect(win::kEdgeRight, outer, win::GetWindowLong(window, win::kLongStyle),
                            win::GetWindowLong(window, win::kLongExStyle));
        win::MoveWindow(window, outer.left, outer.top, outer.Width(), outer.Height(), true);
        gPlatform.resizePending = true;
        return;
    }
    ApplyWindowClientSize();
}
} // namespace

intptr_t GameWindowProc(win::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case win::kMsgPaint:
    {
        win::PaintInfo paint;
        win::BeginPaint(window, paint);
        if (win::GetFocus() != gPlatform.window && gGame.IsInitialised() && !gPlatform.resizePending)
            gGame.Render(false);
        else
            win::FillRect(window, paint.paint, kBlackBrush);
        win::EndPaint(window, paint);
        return 0;
    }
    case win::kMsgDestroy:
        gGame.Quit();
        if (NorvexRenderer* renderer = gNorvexEngine.GetRenderer())
            renderer->SubmitCommands(true);
        return 0;
    case win::kMsgMove:
        ClipCursorToGameWindow();
        return 0;
    case win::kMsgSize:
        OnSize(window);
        return 0;
    case win::kMsgActivate:
        if (wParam == win::kActivateActive)
            gGame.ReapplyHardwareCursor();
        return 0;
    case win::kMsgSetCursor:
        return OnSetCursor(window, message, wParam, lParam);
    case win::kMsgKeyDown:
        if (wParam == kKeyEnter && win::GetAsyncKeyState(kKeyControl) < 0)
        {
            ToggleFullScreen();
            return 1;
        }
        return gGame.OnKeyDown(uint32_t(wParam)) ? 1 : 0;
    case win::kMsgChar:
        if (wParam != kCharBackspace)
            gGame.OnChar(uint32_t(wParam));
        return 0;
    case win::kMsgSysCommand:
        if (wParam == win::kSysCommandKeyMenu)
            return 0; // Alt does not open the window menu
        return win::DefWindowProc(window, message, wParam, lParam);
    case win::kMsgMouseMove:
    {
        if (gPlatform.lastTouchTime != 0 && os::QueryCounter() - gPlatform.lastTouchTime <= kTouchMouseQuietTicks)
            return 0;
        win::Rect client;
        if (win::GetClientRect(window, client) && client.Width() > 0 && client.Height() > 0)
            gGame.GetInputManager().OnMouseMove(float(win::LowWord(lParam)) / float(client.Width()),
                                                float(win::HighWord(lParam)) / float(client.Height()));
        return 0;
    }
    case win::kMsgLeftButtonDown:
    case win::kMsgRightButtonDown:
    case win::kMsgMiddleButtonDown:
        win::SetCapture(window);
        PassMouseEvent(window,
                       message == win::kMsgLeftButtonDown    ? INPUT_MOUSE_EVENT_LEFT_DOWN
                       : message == win::kMsgRightButtonDown ? INPUT_MOUSE_EVENT_RIGHT_DOWN
                                                             : INPUT_MOUSE_EVENT_MIDDLE_DOWN,
                       lParam);
        return 0;
    case win::kMsgLeftButtonUp:
    case win::kMsgRightButtonUp:
    case win::kMsgMiddleButtonUp:
        win::ReleaseCapture();
        PassMouseEvent(window,
                       message == win::kMsgLeftButtonUp    ? INPUT_MOUSE_EVENT_LEFT_UP
                       : message == win::kMsgRightButtonUp ? INPUT_MOUSE_EVENT_RIGHT_UP
                                                           : INPUT_MOUSE_EVENT_MIDDLE_UP,
                       lParam);
        return 0;
    case win::kMsgLeftButtonDoubleClick:
        PassMouseEvent(window, INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK, lParam);
        PassMouseEvent(window, INPUT_MOUSE_EVENT_LEFT_DOWN, lParam);
        return 0;
    case win::kMsgRightButtonDoubleClick:
        PassMouseEvent(window, INPUT_MOUSE_EVENT_RIGHT_DOUBLE_CLICK, lParam);
        PassMouseEvent(window, INPUT_MOUSE_EVENT_RIGHT_DOWN, lParam);
        return 0;
    case win::kMsgMiddleButtonDoubleClick:
        PassMouseEvent(window, INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK, lParam);
        PassMouseEvent(window, INPUT_MOUSE_EVENT_MIDDLE_DOWN, lParam);
        return 0;
    case win::kMsgMouseWheel:
        // A delta of 0 counts as forward.
        gGame.GetInputManager().OnMouseWheel(win::SignedHighWord(intptr_t(wParam)) >= 0 ? 1 : -1);
        return 0;
    case win::kMsgSizing:
        gPlatform.resizePending = true;
        gPlatform.resizeDeadline = os::QueryCounter() + kResizeSettleTicks;
        ConstrainSizingRect(wParam, *reinterpret_cast<win::Rect*>(lParam), win::GetWindowLong(window, win::kLongStyle),
                            win::GetWindowLong(window, win::kLongExStyle));
        return 0;
    case win::kMsgDeviceChange:
        gGame.GetInputManager().ReconnectDevices();
        return 0;
    case win::kMsgTouch:
        gPlatform.lastTouchTime = os::QueryCounter();
        if (!gGame.OnTouch(uint32_t(wParam), uintptr_t(lParam)))
            return win::DefWindowProc(window, message, wParam, lParam);
        return 0;
    case win::kMsgTabletQuerySystemGestureStatus:
        return kTabletGestureStatus;
    default:
        return win::DefWindowProc(window, message, wParam, lParam);
    }
}
