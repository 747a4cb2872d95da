// Per-thread message queues. Any thread posts a message to a thread id; only the owning thread
// peeks, removes and dispatches its messages, and it can sleep until either its wake event is set
// or a message arrives.
#pragma once

#include "platform/os/Sync.h"

#include <cstdint>

namespace os
{
struct Message;

// Receiver of dispatched messages (a window, for example).
class MessageTarget
{
public:
    virtual ~MessageTarget() = default;
    virtual intptr_t HandleMessage(const Message& message) = 0;
};

// One queued message; the parameter words are pointer-sized so they can carry handles.
struct Message
{
    MessageTarget* target = nullptr;
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Gives the calling thread its queue (os::Thread does this for the threads it starts); the queue
// goes away when the thread ends.
void CreateMessageQueue();

// Appends to the queue of thread `threadId`; false when that thread has no queue.
bool PostThreadMessage(uint32_t threadId, const Message& message);

// Copies the oldest message of the calling thread's queue, removing it when `remove`; false when empty.
bool PeekMessage(Message& message, bool remove);

// Hands the message to its target; 0 when it has none.
intptr_t DispatchMessage(const Message& message);

// Waits up to timeoutMs until `event` is set (Signalled, consuming an auto-reset event) or the
// calling thread's queue holds a message (Woken).
Event::WaitResult WaitForEventOrMessage(Event& event, uint32_t timeoutMs);
} // namespace os
