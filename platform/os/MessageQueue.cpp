#include "platform/os/MessageQueue.h"

#include "platform/os/Thread.h"

#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace os
{
namespace
{
struct ThreadQueue
{
    std::mutex mutex;
    std::deque<Message> messages;
    std::atomic<uint32_t> pending{0};
    Event* waitingEvent = nullptr; // guarded by mutex
};

struct Registry
{
    std::mutex mutex;
    std::unordered_map<uint32_t, std::shared_ptr<ThreadQueue>> queues;
};

// Never destroyed: threads may post and end while static destructors run.
Registry& GetRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

// Unregisters the thread's queue when the thread ends.
struct QueueOwner
{
    std::shared_ptr<ThreadQueue> queue;
    uint32_t threadId = 0;

    ~QueueOwner()
    {
        if (!queue)
            return;
        Registry& registry = GetRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.queues.erase(threadId);
    }
};

thread_local QueueOwner tOwner;

ThreadQueue& OwnQueue()
{
    if (!tOwner.queue)
    {
        tOwner.queue = std::make_shared<ThreadQueue>();
        tOwner.threadId = CurrentThreadId();
        Registry& registry = GetRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.queues[tOwner.threadId] = tOwner.queue;
    }
    return *tOwner.queue;
}
} // namespace

void CreateMessageQueue()
{
    OwnQueue();
}

bool PostThreadMessage(uint32_t threadId, const Message& message)
{
    std::shared_ptr<ThreadQueue> queue;
    {
        Registry& registry = GetRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        const auto found = registry.queues.find(threadId);
        if (found == registry.queues.end())
            return false;
        queue = found->second;
    }
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->messages.push_back(message);
    queue->pending.fetch_add(1, std::memory_order_release);
    // Woken under the queue lock: the waiter clears waitingEvent under it before its event can die.
    if (queue->waitingEvent != nullptr)
        queue->waitingEvent->Wake();
    return true;
}

bool PeekMessage(Message& message, bool remove)
{
    ThreadQueue& queue = OwnQueue();
    // Worker loops look after every drain: an empty queue is told by its count, without the lock.
    if (queue.pending.load(std::memory_order_acquire) == 0)
        return false;
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (queue.messages.empty())
        return false;
    message = queue.messages.front();
    if (remove)
    {
        queue.messages.pop_front();
        queue.pending.fetch_sub(1, std::memory_order_release);
    }
    return true;
}

intptr_t DispatchMessage(const Message& message)
{
    return message.target != nullptr ? message.target->HandleMessage(message) : 0;
}

Event::WaitResult WaitForEventOrMessage(Event& event, uint32_t timeoutMs)
{
    ThreadQueue& queue = OwnQueue();
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.waitingEvent = &event;
    }
    const Event::WaitResult result = event.WaitOrWake(timeoutMs, queue.pending);
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.waitingEvent = nullptr;
    }
    return result;
}
} // namespace os
