// What tests and the headless program use in place of a person at the keyboard and mouse: they
// post the messages the desktop would post, with the key state and extra information it would
// record. Main thread only (the window's thread).
#pragma once

#include "platform/window/Window.h"

#include <cstdint>

namespace win
{
// Extra information that pen and touch input put on the mouse messages they synthesise.
constexpr uint32_t kPenOrTouchSignature = 0xFF515700u;

namespace test
{
// Held keys answer GetAsyncKeyState with the high bit set.
void SetKeyHeld(uint32_t virtualKey, bool held);
void PostKeyDown(WindowHandle window, uint32_t virtualKey);
void PostChar(WindowHandle window, uint32_t character);
// Client coordinates; the cursor moves there first. `message` is one of the mouse messages.
void PostMouse(WindowHandle window, uint32_t message, int32_t x, int32_t y, uint32_t extraInfo = 0);
void PostMouseWheel(WindowHandle window, int32_t delta);
// A drag of the frame: the sizing message with the proposed outer rectangle, then the window
// takes whatever rectangle the procedure left in it. Answers that rectangle.
Rect DragFrame(WindowHandle window, uintptr_t edge, const Rect& proposed);
void PostTouch(WindowHandle window, uint32_t inputCount, intptr_t touchHandle);
void PostDeviceChange(WindowHandle window);
// The close a person asks for (the default handling destroys the window).
void PostClose(WindowHandle window);
} // namespace test
} // namespace win
