// The platform's one record: the game window, the display-mode state of full screen, the sizes
// the window procedure and the main loop share, and the pending user resize. Main thread only.
#pragma once

#include "platform/window/Display.h"
#include "platform/window/Window.h"

#include <cstdint>

// What the window procedure, the window helpers and the main loop share.
struct PlatformState
{
    win::WindowHandle window = nullptr;
    // The mode the user asked for (configuration, Ctrl+Enter or a request of the Game).
    bool fullScreen = false;
    // The display mode was changed for full screen and not yet restored at shutdown.
    bool displayChanged = false;
    // The changed display mode is in force (cleared while focus is away).
    bool displayChangeActive = false;
    // Focus was lost and the app deactivated.
    bool inactive = false;
    uint32_t desktopWidth = 0;
    uint32_t desktopHeight = 0;
    uint32_t windowedWidth = 0;
    uint32_t windowedHeight = 0;
    // The client size last passed to the Game.
    uint32_t lastClientWidth = 0;
    uint32_t lastClientHeight = 0;
    win::DisplayMode startMode;
    win::DisplayMode workingMode;
    bool resizePending = false;
    int64_t resizeDeadline = 0; // counter ticks
    int64_t lastTouchTime = 0;  // counter ticks; 0 = never
};

extern PlatformState gPlatform;
