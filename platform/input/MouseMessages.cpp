#include "platform/input/MouseMessages.h"

#include "platform/input/InputHardwareState.h"

namespace input
{
void PlugMouse(bool plugged)
{
    detail::Hardware().mousePlugged = plugged;
}

bool IsMousePlugged()
{
    return detail::Hardware().mousePlugged;
}

void PostMouseMessage(const MouseMessage& message)
{
    if (detail::Hardware().mousePlugged)
        detail::Hardware().mouseMessages.push_back(message);
}

void TakeMouseMessages(std::vector<MouseMessage>& out)
{
    std::deque<MouseMessage>& queue = detail::Hardware().mouseMessages;
    out.insert(out.end(), queue.begin(), queue.end());
    queue.clear();
}
uint32_t GetDoubleClickTimeMilliseconds()
{
    return detail::Hardware().doubleClickMilliseconds;
}

void SetDoubleClickTimeMilliseconds(uint32_t milliseconds)
{
    detail::Hardware().doubleClickMilliseconds = milliseconds;
}
} // namespace input
