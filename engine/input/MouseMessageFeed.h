// Hands the window's queued mouse messages (platform/input/MouseMessages.h) to the input manager
// the way the window procedure does: positions divided by the client size, a double-click
// followed by a press of the same button. Main thread only.
#pragma once

#include <cstdint>

class InputManager;

// The mouse part of the window's message pump.
class MouseMessageFeed
{
public:
    // Delivers and removes every queued message; nothing with a zero client size.
    static void Deliver(InputManager& manager, uint32_t clientWidth, uint32_t clientHeight);
};
