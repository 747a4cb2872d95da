// platform/window: the in-memory window system that stands in for the desktop's windows.
//
// Window classes and windows with styles, outer and client rectangles and titles; a message queue
// per thread, drained by PeekMessage and handed to the class's window procedure by DispatchMessage
// (WindowMessages.h); focus, which a window takes when it is shown while no window has it; a fake
// desktop whose size and display modes come from the graphics stand-in's display (Display.h); the
// cursor (Cursor.h); the single-instance lock that lets FindWindow see a window of another process
// (InstanceLock.h); and helpers that let tests and the headless program post input (WindowTestInput.h).
//
// Threads: main thread only. A window belongs to the thread that created it and its messages are
// peeked by that thread. Handles are numbers, not pointers, so a call on a destroyed window fails
// instead of touching freed memory.
#pragma once

#include <cstdint>
#include <string>

namespace win
{
using WindowHandle = void*;
using WindowProc = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// A rectangle in pixels; right and bottom are exclusive.
struct Rect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Point
{
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// Window styles.
constexpr uint32_t kStylePopup = 0x80000000u;
constexpr uint32_t kStyleClipSiblings = 0x04000000u;
constexpr uint32_t kStyleClipChildren = 0x02000000u;
constexpr uint32_t kStyleCaption = 0x00C00000u;
constexpr uint32_t kStyleSysMenu = 0x00080000u;
constexpr uint32_t kStyleThickFrame = 0x00040000u;
constexpr uint32_t kStyleMinimizeBox = 0x00020000u;
constexpr uint32_t kStyleMaximizeBox = 0x00010000u;
constexpr uint32_t kStyleOverlappedWindow = 0x00CF0000u;
// Class styles.
constexpr uint32_t kClassStyleVRedraw = 1;
constexpr uint32_t kClassStyleHRedraw = 2;

// The frame this window system draws: a sizing border on every side and a caption above.
constexpr int32_t kSizingBorder = 8;
constexpr int32_t kCaptionHeight = 23;

// Window long indices.
constexpr int32_t kLongStyle = -16;
constexpr int32_t kLongExStyle = -20;

// ShowWindow commands.
constexpr int32_t kShowHide = 0;
constexpr int32_t kShowNormal = 1;
constexpr int32_t kShowMinimized = 2;
constexpr int32_t kShowMaximize = 3;
constexpr int32_t kShow = 5;
constexpr int32_t kShowMinimize = 6;
constexpr int32_t kShowRestore = 9;

// SetWindowPos: where the window goes in the z order, and flags.
inline const WindowHandle kTopMost = reinterpret_cast<WindowHandle>(intptr_t(-1));
inline const WindowHandle kNoTopMost = reinterpret_cast<WindowHandle>(intptr_t(-2));
constexpr uint32_t kPosNoSize = 0x1;
constexpr uint32_t kPosNoMove = 0x2;
constexpr uint32_t kPosNoZOrder = 0x4;
constexpr uint32_t kPosFrameChanged = 0x20;

// Window classes: registering a name twice fails; the cursor is shown over the client area by the
// default handling of the set-cursor message.
bool RegisterWindowClass(const char* className, uint32_t classStyle, WindowProc procedure, void* cursor);
bool IsWindowClassRegistered(const char* className);

// A top-level window, hidden until shown. Null when the class is unknown; the procedure gets no
// message during creation.
WindowHandle CreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y,
                          int32_t width, int32_t height);
// Sends the destroy message, then forgets the window (focus, capture and the instance lock with it).
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
// A window of the class: this process's first, else the one whose process holds the class's
// single-instance lock (a handle only the activation calls below accept); null when none.
WindowHandle FindWindow(const char* className);
bool IsOtherProcessWindow(WindowHandle window);
// The thread that created the window (os::Thread ids); 0 for none.
uint32_t GetWindowThread(WindowHandle window);

bool SetWindowText(WindowHandle window, const char* text);
std::string GetWindowText(WindowHandle window);
// Style and extended style; SetWindowLong answers the previous value (0 for a bad window).
uint32_t GetWindowLong(WindowHandle window, int32_t index);
uint32_t SetWindowLong(WindowHandle window, int32_t index, uint32_t value);

// Grows a client rectangle to the outer rectangle of a window of that style.
bool AdjustWindowRect(Rect& rect, uint32_t style, bool hasMenu);
bool AdjustWindowRectEx(Rect& rect, uint32_t style, bool hasMenu, uint32_t exStyle);

// Outer rectangle in screen coordinates; client rectangle from 0, 0 (empty while minimised).
bool GetWindowRect(WindowHandle window, Rect& rect);
bool GetClientRect(WindowHandle window, Rect& rect);
bool ClientToScreen(WindowHandle window, Point& point);
bool ScreenToClient(WindowHandle window, Point& point);

// Moves and sizes the outer rectangle; a new position sends the move message and a new client size
// the size message, both before it returns, as the desktop does.
bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y, int32_t width, int32_t height,
                  uint32_t flags);
bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
// True when the window was visible before. Showing a window while none has focus gives it focus.
bool ShowWindow(WindowHandle window, int32_t command);
bool IsWindowVisible(WindowHandle window);
bool IsIconic(WindowHandle window);
bool IsZoomed(WindowHandle window);
bool IsTopMost(WindowHandle window);

// Focus and activation are one here: the focused window is the active one. A change sends the
// activate message (1 to the window gaining it, 0 to the one losing it).
WindowHandle GetFocus();
WindowHandle SetFocus(WindowHandle window);
bool SetForegroundWindow(WindowHandle window);
WindowHandle GetForegroundWindow();
// How often the activation calls were made on a window of another process.
uint32_t GetOtherProcessActivationCount();

WindowHandle SetCapture(WindowHandle window);
bool ReleaseCapture();
WindowHandle GetCapture();

// Key state as the keyboard reports it at the time of the call: the high bit set while held.
int16_t GetAsyncKeyState(uint32_t virtualKey);

// Painting: the paint message after an invalidation; BeginPaint validates the window.
struct PaintInfo
{
    Rect paint;
};
bool InvalidateRect(WindowHandle window);
bool UpdateWindow(WindowHandle window);
bool BeginPaint(WindowHandle window, PaintInfo& info);
bool EndPaint(WindowHandle window, const PaintInfo& info);
// Fills with a solid colour (0x00BBGGRR); the window keeps the last fill for tests.
bool FillRect(WindowHandle window, const Rect& rect, uint32_t colour);
bool GetLastFill(WindowHandle window, Rect& rect, uint32_t& colour, uint32_t& fillCount);

// Attention: a beep and a flashing task-bar entry, counted for tests.
constexpr uint32_t kFlashAll = 3;
constexpr uint32_t kFlashTimerNoForeground = 12;
bool MessageBeep(uint32_t type);
bool FlashWindow(WindowHandle window, uint32_t flags, uint32_t count);
uint32_t GetBeepCount();
uint32_t GetFlashCount(WindowHandle window, uint32_t* lastFlags = nullptr, uint32_t* lastCount = nullptr);

// The default handling: close destroys the window, set-cursor shows the class cursor over the
// client area, everything else answers 0.
intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Calls the window's procedure at once on the calling thread; 0 for a bad window.
intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Back to the start: every window, class, queued message, cursor, key state and counter gone, the
// desktop read again from the graphics stand-in's display. Tests call it between cases.
void ResetWindowSystem();
} // namespace win
