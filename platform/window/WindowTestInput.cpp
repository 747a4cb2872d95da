#include "platform/window/WindowTestInput.h"

#include "platform/window/Cursor.h"
#include "platform/window/WindowMessages.h"
#include "platform/window/WindowState.h"

namespace win::test
{
void SetKeyHeld(uint32_t virtualKey, bool held)
{
    if (virtualKey < 256)
        detail::GetState().heldKeys.set(virtualKey, held);
}

void PostKeyDown(WindowHandle window, uint32_t virtualKey) { PostMessage(window, kMsgKeyDown, virtualKey, 1); }

void PostChar(WindowHandle window, uint32_t character) { PostMessage(window, kMsgChar, character, 1); }

void PostMouse(WindowHandle window, uint32_t message, int32_t x, int32_t y, uint32_t extraInfo)
{
    Point screen{x, y};
    if (ClientToScreen(window, screen))
        SetCursorPos(screen.x, screen.y);
    PostMessage(window, message, 0, MakeLParam(x, y), extraInfo);
}

void PostMouseWheel(WindowHandle window, int32_t delta)
{
    Point cursor;
    GetCursorPos(cursor);
    PostMessage(window, kMsgMouseWheel, uintptr_t(uint32_t(uint16_t(int16_t(delta))) << 16),
                MakeLParam(cursor.x, cursor.y));
}

Rect DragFrame(WindowHandle window, uintptr_t edge, const Rect& proposed)
{
    Rect rect = proposed;
    SendMessage(window, kMsgSizing, edge, reinterpret_cast<intptr_t>(&rect));
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.Width(), rect.Height(), kPosNoZOrder);
    return rect;
}

void PostTouch(WindowHandle window, uint32_t inputCount, intptr_t touchHandle)
{
    PostMessage(window, kMsgTouch, inputCount, touchHandle);
}

void PostDeviceChange(WindowHandle window) { PostMessage(window, kMsgDeviceChange, 7, 0); }

void PostClose(WindowHandle window) { PostMessage(window, kMsgClose, 0, 0); }
} // namespace win::test
