// Window messages: the numbers this window system sends and posts, the per-thread queue and the
// frame limit of headless runs. Main thread only, like the windows: a signal handler only sets a
// flag that the next peek turns into close messages.
#pragma once

#include "platform/window/Window.h"

#include <cstdint>

namespace win
{
constexpr uint32_t kMsgDestroy = 0x0002;
constexpr uint32_t kMsgMove = 0x0003;
constexpr uint32_t kMsgSize = 0x0005;
constexpr uint32_t kMsgActivate = 0x0006;
constexpr uint32_t kMsgPaint = 0x000F;
constexpr uint32_t kMsgClose = 0x0010;
constexpr uint32_t kMsgSetCursor = 0x0020;
constexpr uint32_t kMsgKeyDown = 0x0100;
constexpr uint32_t kMsgKeyUp = 0x0101;
constexpr uint32_t kMsgChar = 0x0102;
constexpr uint32_t kMsgSysCommand = 0x0112;
constexpr uint32_t kMsgMouseMove = 0x0200;
constexpr uint32_t kMsgLeftButtonDown = 0x0201;
constexpr uint32_t kMsgLeftButtonUp = 0x0202;
constexpr uint32_t kMsgLeftButtonDoubleClick = 0x0203;
constexpr uint32_t kMsgRightButtonDown = 0x0204;
constexpr uint32_t kMsgRightButtonUp = 0x0205;
constexpr uint32_t kMsgRightButtonDoubleClick = 0x0206;
constexpr uint32_t kMsgMiddleButtonDown = 0x0207;
constexpr uint32_t kMsgMiddleButtonUp = 0x0208;
constexpr uint32_t kMsgMiddleButtonDoubleClick = 0x0209;
constexpr uint32_t kMsgMouseWheel = 0x020A;
constexpr uint32_t kMsgSizing = 0x0214;
constexpr uint32_t kMsgDeviceChange = 0x0219;
constexpr uint32_t kMsgTouch = 0x0240;
constexpr uint32_t kMsgTabletQuerySystemGestureStatus = 0x02CC;

// Activate message parameter.
constexpr uintptr_t kActivateInactive = 0;
constexpr uintptr_t kActivateActive = 1;
// System command of the Alt key's window menu.
constexpr uintptr_t kSysCommandKeyMenu = 0xF100;
// Size message kinds.
constexpr uintptr_t kSizeRestored = 0;
constexpr uintptr_t kSizeMinimized = 1;
constexpr uintptr_t kSizeMaximized = 2;
// Set-cursor hit-test code of the client area (low word of lParam).
constexpr intptr_t kHitClient = 1;
// Edges of the sizing message.
constexpr uintptr_t kEdgeLeft = 1;
constexpr uintptr_t kEdgeRight = 2;
constexpr uintptr_t kEdgeTop = 3;
constexpr uintptr_t kEdgeTopLeft = 4;
constexpr uintptr_t kEdgeTopRight = 5;
constexpr uintptr_t kEdgeBottom = 6;
constexpr uintptr_t kEdgeBottomLeft = 7;
constexpr uintptr_t kEdgeBottomRight = 8;

// Packs two 16-bit words as mouse and size messages carry them (signed coordinates survive).
constexpr intptr_t MakeLParam(int32_t low, int32_t high)
{
    return intptr_t(uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16));
}
constexpr int32_t LowWord(intptr_t value) { return int32_t(uint16_t(uint32_t(value))); }
constexpr int32_t HighWord(intptr_t value) { return int32_t(uint16_t(uint32_t(value) >> 16)); }
constexpr int32_t SignedLowWord(intptr_t value) { return int32_t(int16_t(uint16_t(uint32_t(value)))); }
constexpr int32_t SignedHighWord(intptr_t value) { return int32_t(int16_t(uint16_t(uint32_t(value) >> 16))); }

// One queued message with what the system records beside it.
struct Message
{
    WindowHandle window = nullptr;
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    uint32_t extraInfo = 0; // set by the input source (pen and touch mark their mouse messages)
    Point position;         // cursor position in screen coordinates when the message was posted
};

// Appends a message for the window's thread; false for a null window or one of another process.
bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam, uint32_t extraInfo = 0);
// The oldest message for the calling thread's windows, removed when asked; false when none.
bool PeekMessage(Message& message, bool remove);
// Characters are posted by the input source itself here, so translation has nothing to add.
bool TranslateMessage(const Message& message);
// Hands the message to its window's procedure, which may ask for the message's extra information
// and position meanwhile; mouse messages over the client area are preceded by a set-cursor message.
intptr_t DispatchMessage(const Message& message);
// Of the message being dispatched (0 and the cursor position outside a dispatch).
uint32_t GetMessageExtraInfo();
Point GetMessagePos();
// How many messages wait for the calling thread.
uint32_t GetQueuedMessageCount();

// Headless runs end themselves: with NORVEX_MAX_FRAMES=N in the environment (read when the first
// window is created) or SetMaxFrames(N), the N-th counted frame posts a close to every window of
// the calling thread. 0 means no limit; a set value that is not a positive number is warned about on
// standard error and means no limit.
void SetMaxFrames(uint32_t frames);
uint32_t GetMaxFrames();
// The main loop counts each frame it rendered.
void CountFrame();
uint32_t GetCountedFrames();

// SIGINT and SIGTERM post a close to every window as soon as the window's thread next peeks.
void InstallCloseOnSignals();
} // namespace win
