// The window system's own records, shared by its files and by nothing outside platform/window.
// Main thread only (the posting queue in WindowMessages.cpp has a lock of its own).
#pragma once

#include "platform/window/Cursor.h"
#include "platform/window/Display.h"
#include "platform/window/Window.h"

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace win::detail
{
struct WindowClassRecord
{
    uint32_t style = 0;
    WindowProc procedure = nullptr;
    void* cursor = nullptr;
};

struct WindowRecord
{
    std::string className;
    std::string title;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    uint32_t thread = 0;
    Rect outer;
    Rect restored; // the outer rectangle to go back to from minimised or maximised
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool topMost = false;
    bool needsPaint = false;
    Rect lastFill;
    uint32_t lastFillColour = 0;
    uint32_t fillCount = 0;
    uint32_t flashCount = 0;
    uint32_t lastFlashFlags = 0;
    uint32_t lastFlashCountArgument = 0;
};

struct DisplayState
{
    bool loaded = false;
    DisplayMode start;
    DisplayMode current;
    std::vector<DisplayMode> modes;
    uint32_t failuresPlanned = 0;
    uint32_t changes = 0;
};

struct CursorState
{
    Point position;
    int32_t displayCount = 0;
    bool clipped = false;
    Rect clip;
    void* current = nullptr;
    std::map<uintptr_t, std::unique_ptr<CursorImage>> images;
    uintptr_t nextId = 0x20000;
};

struct State
{
    std::map<std::string, WindowClassRecord> classes;
    std::map<uintptr_t, WindowRecord> windows;
    uintptr_t nextWindowId = 0x10000;
    WindowHandle focus = nullptr;
    WindowHandle foreground = nullptr;
    WindowHandle capture = nullptr;
    uint32_t otherProcessActivations = 0;
    uint32_t beeps = 0;
    std::bitset<256> heldKeys;
    DisplayState display;
    CursorState cursor;
    // Of the message being dispatched.
    bool dispatching = false;
    uint32_t dispatchExtraInfo = 0;
    Point dispatchPosition;
};

State& GetState();
// The record of a live window of this process; null for anything else.
WindowRecord* FindWindowRecord(WindowHandle window);
WindowHandle HandleOf(uintptr_t id);
uintptr_t IdOf(WindowHandle window);
// The handle FindWindow answers for a window of another process.
WindowHandle OtherProcessWindow();
// Loads the desktop from the graphics stand-in's display on first use.
DisplayState& GetDisplay();
void ResetDisplay();
void ResetCursor();
// The client rectangle of a record in screen coordinates.
Rect ClientRectOnScreen(const WindowRecord& record);
void DropQueuedMessages();
void ResetFrameLimit();
} // namespace win::detail
