// The analytics request thread ("ServerRequestThread"): takes finished analytics records from the
// main thread and hands them back to the pool once handled. Posting them to the analytics server
// is not built yet: each record is counted and reported once, then returned.
//
// Threads: Start, Stop and Queue on the main thread, the one producer (the ring has no lock); the
// records are handled on the thread, which sleeps until a post wakes it.
#pragma once

#include "core/threads/BaseThread.h"

#include <atomic>
#include <cstdint>

class NorvexAnalyticsRequest;

// Worker thread of the analytics requests (one global instance).
class ServerRequestThread : public BaseThread
{
public:
    // The program's module address, kept for the subclass as by every worker.
    static constexpr uintptr_t kSubclassWord = 0x400000;

    ServerRequestThread();
    ~ServerRequestThread() override;

    // Hands a finished request over; false when the thread does not run (the request stays the caller's).
    bool Queue(NorvexAnalyticsRequest* request);
    uint32_t GetRequestsHandled() const { return m_handled.load(std::memory_order_acquire); }

protected:
    void HandleCommand(const uint8_t* record) override;

private:
    std::atomic<uint32_t> m_handled{0};
    bool m_postingReported = false; // request thread
};

extern ServerRequestThread gServerRequestThread;
