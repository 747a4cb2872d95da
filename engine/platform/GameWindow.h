// The game window: its class, its creation with the engine's start-up inside, the change between
// windowed mode and a changed display mode for full screen, the client size handed to the Game and
// the renderer after a resize, the 16:9 sizing constraint and cursor clipping. The window
// procedure (GameWindowProc.cpp) and the main loop (PlatformMain.cpp) share gPlatform.
//
// Main thread only.
#pragma once

#include "platform/window/Window.h"

#include <cstdint>

class GameDelegate;

constexpr const char* kGameWindowClassName = "OrvalworksGame";
// The smallest client area and its ratio.
constexpr int32_t kMinimumClientWidth = 800;
constexpr int32_t kMinimumClientHeight = 450;

void RegisterGameWindowClass();
// Creates the window, starts the engine inside it and applies the configured mode; false (with
// the reason in `failure`) when any of that fails, the engine closed again.
bool CreateGameWindow(int32_t showCommand, const char* projectName, const char** failure);
// Windowed: the size, clamped to the desktop, centred with a frame. Full screen: the display
// mode the renderer finds for the size (which may change it). False when the display refuses.
bool ChangeDisplayMode(uint32_t& width, uint32_t& height);
// Hands the client size to the Game, the configuration and the renderer after a resize.
void ApplyWindowClientSize();
// Flips full screen (Ctrl+Enter, or a request of the Game with a different value).
void ToggleFullScreen();
// Keeps the outer rectangle of a drag at a 16:9 client area of at least 800 by 450.
void ConstrainSizingRect(uintptr_t edge, win::Rect& rect, uint32_t style, uint32_t exStyle);
// Clipped to the client area while the display mode is changed for full screen, else free.
void ClipCursorToGameWindow();
// Submits the render stream synchronously and restores the display mode the program started in.
void RestoreStartDisplayMode();

intptr_t GameWindowProc(win::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
