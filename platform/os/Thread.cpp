#include "platform/os/Thread.h"

#include "platform/os/MessageQueue.h"
#include "platform/os/Sync.h"

#include <atomic>
#include <pthread.h>
#include <system_error>

namespace os
{
namespace
{
std::atomic<uint32_t> gNextThreadId{1};
thread_local uint32_t tThreadId = 0;
} // namespace

uint32_t CurrentThreadId()
{
    if (tThreadId == 0)
        tThreadId = gNextThreadId.fetch_add(1, std::memory_order_relaxed);
    return tThreadId;
}

Thread::~Thread()
{
    Join();
}

bool Thread::Start(const char* name, ThreadEntry entry, void* argument)
{
    if (m_thread.joinable() || entry == nullptr)
        return false;
    m_name = name ? name : "";
    // The new thread reports its id before the caller goes on, so GetId is valid at once.
    std::atomic<uint32_t> startedId{0};
    Event started(true);
    // The library reports a failed thread creation by throwing; callers expect false instead.
    try
    {
        m_thread = std::thread([&, entry, argument] {
            const std::string shortName = m_name.substr(0, 15);
            if (!shortName.empty())
                pthread_setname_np(pthread_self(), shortName.c_str());
            // The queue exists before Start returns, so the starter can post to the new thread at once.
            CreateMessageQueue();
            startedId.store(CurrentThreadId(), std::memory_order_release);
            started.Set();
            entry(argument);
        });
    }
    catch (const std::system_error&)
    {
        return false;
    }
    started.Wait(kInfinite);
    m_id = startedId.load(std::memory_order_acquire);
    return true;
}

void Thread::Join()
{
    if (m_thread.joinable())
    {
        m_thread.join();
        m_id = 0;
    }
}
} // namespace os
