// The mouse as the window sees it: button, move and wheel messages with client-area positions in
// pixels, queued in the order they happened until the window's message pump takes them.
// Main thread only.
#pragma once

#include <cstdint>
#include <vector>

namespace input
{
enum class MouseMessageKind : uint8_t
{
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    RightDoubleClick,
    MiddleDown,
    MiddleUp,
    MiddleDoubleClick,
    Move,
    Wheel,
};

struct MouseMessage
{
    MouseMessageKind kind = MouseMessageKind::Move;
    int32_t x = 0; // client pixels
    int32_t y = 0;
    int32_t wheelDelta = 0; // positive forward, one notch is 120
};

// Dropped while the mouse is unplugged.
void PlugMouse(bool plugged);
bool IsMousePlugged();
void PostMouseMessage(const MouseMessage& message);
// Moves every queued message into `out` (appended) and empties the queue.
void TakeMouseMessages(std::vector<MouseMessage>& out);

// The system's double-click time (500 ms unless set).
uint32_t GetDoubleClickTimeMilliseconds();
void SetDoubleClickTimeMilliseconds(uint32_t milliseconds);
} // namespace input
