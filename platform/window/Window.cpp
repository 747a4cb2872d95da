#include "platform/window/Window.h"

#include "platform/os/Thread.h"
#include "platform/window/InstanceLock.h"
#include "platform/window/WindowMessages.h"
#include "platform/window/WindowState.h"

#include <algorithm>

namespace win
{
namespace detail
{
State& GetState()
{
    static State state;
    return state;
}

WindowHandle HandleOf(uintptr_t id) { return reinterpret_cast<WindowHandle>(id); }
uintptr_t IdOf(WindowHandle window) { return reinterpret_cast<uintptr_t>(window); }
WindowHandle OtherProcessWindow() { return HandleOf(1); }

WindowRecord* FindWindowRecord(WindowHandle window)
{
    auto& windows = GetState().windows;
    const auto found = windows.find(IdOf(window));
    return found != windows.end() ? &found->second : nullptr;
}

namespace
{
// The frame around the client area of a style, on each side.
Rect FrameOf(uint32_t style)
{
    Rect frame;
    if (style & kStyleThickFrame)
        frame = {kSizingBorder, kSizingBorder, kSizingBorder, kSizingBorder};
    if ((style & kStyleCaption) == kStyleCaption)
        frame.top += kCaptionHeight;
    return frame;
}
} // namespace

Rect ClientRectOnScreen(const WindowRecord& record)
{
    if (record.minimized)
        return {record.outer.left, record.outer.top, record.outer.left, record.outer.top};
    const Rect frame = FrameOf(record.style);
    Rect client = {record.outer.left + frame.left, record.outer.top + frame.top, record.outer.right - frame.right,
                   record.outer.bottom - frame.bottom};
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    return client;
}
} // namespace detail

using namespace detail;

namespace
{
bool IsOtherProcess(WindowHandle window) { return window != nullptr && window == OtherProcessWindow(); }

// Sends the move and size messages for what changed between the two client rectangles.
void NotifyGeometry(WindowHandle window, const Rect& before, const Rect& after)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return;
    if (before.left != after.left || before.top != after.top)
        SendMessage(window, kMsgMove, 0, MakeLParam(after.left, after.top));
    record = FindWindowRecord(window);
    if (record != nullptr && (before.Width() != after.Width() || before.Height() != after.Height()))
    {
        const uintptr_t kind = record->minimized ? kSizeMinimized : record->maximized ? kSizeMaximized : kSizeRestored;
        SendMessage(window, kMsgSize, kind, MakeLParam(after.Width(), after.Height()));
    }
}

// Applies a new outer rectangle and state, then tells the window what changed.
void Reshape(WindowHandle window, const Rect& outer, bool minimized, bool maximized)
{
    WindowRecord* record = FindWindowRecord(window);
    const Rect before = ClientRectOnScreen(*record);
    record->outer = outer;
    record->minimized = minimized;
    record->maximized = maximized;
    const Rect after = ClientRectOnScreen(*record);
    if (before.Width() != after.Width() || before.Height() != after.Height())
        record->needsPaint = true;
    NotifyGeometry(window, before, after);
}
} // namespace

bool RegisterWindowClass(const char* className, uint32_t classStyle, WindowProc procedure, void* cursor)
{
    if (className == nullptr || procedure == nullptr)
        return false;
    auto& classes = GetState().classes;
    if (classes.count(className) != 0)
        return false;
    classes[className] = WindowClassRecord{classStyle, procedure, cursor};
    return true;
}

bool IsWindowClassRegistered(const char* className)
{
    return className != nullptr && GetState().classes.count(className) != 0;
}

WindowHandle CreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y,
                          int32_t width, int32_t height)
{
    if (!IsWindowClassRegistered(className))
        return nullptr;
    if (GetState().windows.empty())
        GetMaxFrames(); // reads NORVEX_MAX_FRAMES once
    State& state = GetState();
    const uintptr_t id = state.nextWindowId;
    state.nextWindowId += 2;
    WindowRecord& record = state.windows[id];
    record.className = className;
    record.title = title != nullptr ? title : "";
    record.style = style;
    record.thread = os::CurrentThreadId();
    record.outer = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    record.restored = record.outer;
    record.needsPaint = true;
    // A second process finds this one through the lock; failing to take it changes nothing here.
    AcquireInstanceLock(className);
    return HandleOf(id);
}

bool DestroyWindow(WindowHandle window)
{
    if (FindWindowRecord(window) == nullptr)
        return false;
    SendMessage(window, kMsgDestroy, 0, 0);
    State& state = GetState();
    const auto found = state.windows.find(IdOf(window));
    if (found == state.windows.end())
        return true; // the procedure destroyed it meanwhile
    const std::string className = found->second.className;
    state.windows.erase(found);
    if (state.capture == window)
        state.capture = nullptr;
    if (state.foreground == window)
        state.foreground = nullptr;
    if (state.focus == window)
        state.focus = nullptr;
    const bool classStillUsed = std::any_of(state.windows.begin(), state.windows.end(),
                                            [&](const auto& entry) { return entry.second.className == className; });
    if (!classStillUsed)
        ReleaseInstanceLock(className.c_str());
    return true;
}

bool IsWindow(WindowHandle window) { return FindWindowRecord(window) != nullptr; }

WindowHandle FindWindow(const char* className)
{
    if (className == nullptr)
        return nullptr;
    for (const auto& [id, record] : GetState().windows)
        if (record.className == className)
            return HandleOf(id);
    return IsInstanceLockedElsewhere(className) ? OtherProcessWindow() : nullptr;
}

bool IsOtherProcessWindow(WindowHandle window) { return IsOtherProcess(window); }

uint32_t GetWindowThread(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr ? record->thread : 0;
}

bool SetWindowText(WindowHandle window, const char* text)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    record->title = text != nullptr ? text : "";
    return true;
}

std::string GetWindowText(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr ? record->title : std::string();
}

uint32_t GetWindowLong(WindowHandle window, int32_t index)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return 0;
    if (index == kLongStyle)
        return record->style;
    return index == kLongExStyle ? record->exStyle : 0;
}

uint32_t SetWindowLong(WindowHandle window, int32_t index, uint32_t value)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || (index != kLongStyle && index != kLongExStyle))
        return 0;
    uint32_t& field = index == kLongStyle ? record->style : record->exStyle;
    const uint32_t previous = field;
    field = value;
    return previous;
}

bool AdjustWindowRect(Rect& rect, uint32_t style, bool hasMenu) { return AdjustWindowRectEx(rect, style, hasMenu, 0); }

bool AdjustWindowRectEx(Rect& rect, uint32_t style, bool hasMenu, uint32_t exStyle)
{
    (void)exStyle;
    if (hasMenu)
        return false; // no window of this system has a menu bar
    const Rect frame = FrameOf(style);
    rect.left -= frame.left;
    rect.top -= frame.top;
    rect.right += frame.right;
    rect.bottom += frame.bottom;
    return true;
}

bool GetWindowRect(WindowHandle window, Rect& rect)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    rect = record->outer;
    return true;
}

bool GetClientRect(WindowHandle window, Rect& rect)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    const Rect client = ClientRectOnScreen(*record);
    rect = {0, 0, client.Width(), client.Height()};
    return true;
}

bool ClientToScreen(WindowHandle window, Point& point)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    const Rect client = ClientRectOnScreen(*record);
    point.x += client.left;
    point.y += client.top;
    return true;
}

bool ScreenToClient(WindowHandle window, Point& point)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    const Rect client = ClientRectOnScreen(*record);
    point.x -= client.left;
    point.y -= client.top;
    return true;
}

bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y, int32_t width, int32_t height,
                  uint32_t flags)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    if (!(flags & kPosNoZOrder))
    {
        if (insertAfter == kTopMost)
            record->topMost = true;
        else if (insertAfter == kNoTopMost)
            record->topMost = false;
    }
    Rect outer = record->minimized ? record->restored : record->outer;
    if (!(flags & kPosNoMove))
        outer = {x, y, x + outer.Width(), y + outer.Height()};
    if (!(flags & kPosNoSize))
    {
        outer.right = outer.left + std::max(width, 0);
        outer.bottom = outer.top + std::max(height, 0);
    }
    if (flags & kPosFrameChanged)
        record->needsPaint = true;
    if (record->minimized)
    {
        record->restored = outer; // takes effect when the window is restored
        return true;
    }
    Reshape(window, outer, false, record->maximized && (flags & kPosNoSize) && (flags & kPosNoMove));
    return true;
}

bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint)
{
    if (!SetWindowPos(window, nullptr, x, y, width, height, kPosNoZOrder))
        return false;
    if (repaint)
        InvalidateRect(window);
    return true;
}

bool ShowWindow(WindowHandle window, int32_t command)
{
    if (IsOtherProcess(window))
    {
        ++GetState().otherProcessActivations;
        return true;
    }
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    const bool wasVisible = record->visible;
    if (command == kShowHide)
    {
        record->visible = false;
        if (GetState().focus == window)
            SetFocus(nullptr);
        return wasVisible;
    }
    if (!record->visible)
        record->needsPaint = true;
    record->visible = true;
    const bool inNormalState = !record->minimized && !record->maximized;
    switch (command)
    {
    case kShowMinimized:
    case kShowMinimize:
        if (inNormalState)
            record->restored = record->outer;
        // A minimised window never keeps or takes focus.
        if (GetState().focus == window)
            SetFocus(nullptr);
        if (FindWindowRecord(window) != nullptr && !FindWindowRecord(window)->minimized)
            Reshape(window, FindWindowRecord(window)->outer, true, FindWindowRecord(window)->maximized);
        return wasVisible;
    case kShowMaximize:
    {
        if (inNormalState)
            record->restored = record->outer;
        Rect outer = {0, 0, GetSystemMetrics(kMetricScreenWidth), GetSystemMetrics(kMetricScreenHeight)};
        AdjustWindowRect(outer, record->style, false);
        Reshape(window, outer, false, true);
        break;
    }
    case kShowRestore:
    case kShowNormal:
        if (!inNormalState)
            Reshape(window, record->restored, false, false);
        break;
    default:
        break;
    }
    if (FindWindowRecord(window) != nullptr && GetState().focus == nullptr)
        SetFocus(window);
    return wasVisible;
}

bool IsWindowVisible(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr && record->visible;
}

bool IsIconic(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr && record->minimized;
}

bool IsZoomed(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr && record->maximized;
}

bool IsTopMost(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    return record != nullptr && record->topMost;
}

WindowHandle GetFocus() { return GetState().focus; }

WindowHandle SetFocus(WindowHandle window)
{
    State& state = GetState();
    if (IsOtherProcess(window))
    {
        ++state.otherProcessActivations;
        return state.focus;
    }
    if (window != nullptr && FindWindowRecord(window) == nullptr)
        return nullptr;
    const WindowHandle previous = state.focus;
    if (previous == window)
        return previous;
    state.focus = window;
    if (window != nullptr)
        state.foreground = window;
    if (previous != nullptr && FindWindowRecord(previous) != nullptr)
        SendMessage(previous, kMsgActivate, kActivateInactive, reinterpret_cast<intptr_t>(window));
    if (window != nullptr && state.focus == window)
        SendMessage(window, kMsgActivate, kActivateActive, reinterpret_cast<intptr_t>(previous));
    return previous;
}

bool SetForegroundWindow(WindowHandle window)
{
    if (IsOtherProcess(window))
    {
        ++GetState().otherProcessActivations;
        return true;
    }
    if (FindWindowRecord(window) == nullptr)
        return false;
    SetFocus(window);
    return true;
}

WindowHandle GetForegroundWindow() { return GetState().foreground; }

uint32_t GetOtherProcessActivationCount() { return GetState().otherProcessActivations; }

WindowHandle SetCapture(WindowHandle window)
{
    State& state = GetState();
    const WindowHandle previous = state.capture;
    if (FindWindowRecord(window) != nullptr)
        state.capture = window;
    return previous;
}

bool ReleaseCapture()
{
    GetState().capture = nullptr;
    return true;
}

WindowHandle GetCapture() { return GetState().capture; }

int16_t GetAsyncKeyState(uint32_t virtualKey)
{
    return virtualKey < 256 && GetState().heldKeys.test(virtualKey) ? int16_t(0x8000) : int16_t(0);
}

bool InvalidateRect(WindowHandle window)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    record->needsPaint = true;
    return true;
}

bool UpdateWindow(WindowHandle window)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    if (record->visible && record->needsPaint)
        SendMessage(window, kMsgPaint, 0, 0);
    return true;
}

bool BeginPaint(WindowHandle window, PaintInfo& info)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    record->needsPaint = false;
    const Rect client = ClientRectOnScreen(*record);
    info.paint = {0, 0, client.Width(), client.Height()};
    return true;
}

bool EndPaint(WindowHandle window, const PaintInfo& info)
{
    (void)info;
    return FindWindowRecord(window) != nullptr;
}

bool FillRect(WindowHandle window, const Rect& rect, uint32_t colour)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    record->lastFill = rect;
    record->lastFillColour = colour;
    ++record->fillCount;
    return true;
}

bool GetLastFill(WindowHandle window, Rect& rect, uint32_t& colour, uint32_t& fillCount)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    rect = record->lastFill;
    colour = record->lastFillColour;
    fillCount = record->fillCount;
    return true;
}

bool MessageBeep(uint32_t type)
{
    (void)type;
    ++GetState().beeps;
    return true;
}

bool FlashWindow(WindowHandle window, uint32_t flags, uint32_t count)
{
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return false;
    ++record->flashCount;
    record->lastFlashFlags = flags;
    record->lastFlashCountArgument = count;
    return true;
}

uint32_t GetBeepCount() { return GetState().beeps; }

uint32_t GetFlashCount(WindowHandle window, uint32_t* lastFlags, uint32_t* lastCount)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return 0;
    if (lastFlags != nullptr)
        *lastFlags = record->lastFlashFlags;
    if (lastCount != nullptr)
        *lastCount = record->lastFlashCountArgument;
    return record->flashCount;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    (void)wParam;
    switch (message)
    {
    case kMsgClose:
        DestroyWindow(window);
        return 0;
    case kMsgPaint:
    {
        PaintInfo info;
        BeginPaint(window, info);
        EndPaint(window, info);
        return 0;
    }
    case kMsgSetCursor:
    {
        const WindowRecord* record = FindWindowRecord(window);
        if (record == nullptr || LowWord(lParam) != kHitClient)
            return 0;
        const auto found = GetState().classes.find(record->className);
        if (found == GetState().classes.end() || found->second.cursor == nullptr)
            return 0;
        SetCursor(found->second.cursor);
        return 1;
    }
    default:
        return 0;
    }
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    const WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr)
        return 0;
    const auto found = GetState().classes.find(record->className);
    if (found == GetState().classes.end())
        return 0;
    return found->second.procedure(window, message, wParam, lParam);
}

void ResetWindowSystem()
{
    State& state = GetState();
    for (const auto& [id, record] : state.windows)
        ReleaseInstanceLock(record.className.c_str());
    state = State();
    DropQueuedMessages();
    ResetFrameLimit();
    ResetDisplay();
    ResetCursor();
}
} // namespace win
