#include "engine/input/MouseMessageFeed.h"

#include "engine/input/InputManager.h"
#include "platform/input/MouseMessages.h"

#include <vector>

void MouseMessageFeed::Deliver(InputManager& manager, uint32_t clientWidth, uint32_t clientHeight)
{
    std::vector<input::MouseMessage> messages;
    input::TakeMouseMessages(messages);
    if (clientWidth == 0 || clientHeight == 0)
        return;
    for (const input::MouseMessage& message : messages)
    {
        const float x = float(message.x) / float(clientWidth);
        const float y = float(message.y) / float(clientHeight);
        switch (message.kind)
        {
        case input::MouseMessageKind::Move: manager.OnMouseMove(x, y); break;
        case input::MouseMessageKind::Wheel: manager.OnMouseWheel(message.wheelDelta); break;
        case input::MouseMessageKind::LeftDoubleClick:
        case input::MouseMessageKind::RightDoubleClick:
        case input::MouseMessageKind::MiddleDoubleClick:
        {
            // The double-click kinds sit right after their button's up kind; a press follows.
            const uint32_t kind = uint32_t(message.kind);
            manager.OnMouseButton(x, y, kind);
            manager.OnMouseButton(x, y, kind - 2);
            break;
        }
        default: manager.OnMouseButton(x, y, uint32_t(message.kind)); break;
        }
    }
}
