// Named threads. A Thread object is created and joined by one owning thread.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace os
{
using ThreadEntry = void (*)(void* argument);

// Small process-unique id of the calling thread (never 0).
uint32_t CurrentThreadId();

class Thread
{
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts entry(argument) on a new thread named `name` (the system keeps its first 15 bytes).
    // False when the thread could not be created.
    bool Start(const char* name, ThreadEntry entry, void* argument);
    // Waits until the thread has returned from its entry; no effect when none runs.
    void Join();
    bool IsRunning() const { return m_thread.joinable(); }
    // The started thread's id (0 before Start or after Join).
    uint32_t GetId() const { return m_id; }
    const std::string& GetName() const { return m_name; }
    // Scheduling priority as a plain number kept for queries; the stand-in does not reschedule.
    void SetPriority(int priority) { m_priority = priority; }
    int GetPriority() const { return m_priority; }

private:
    std::thread m_thread;
    std::string m_name;
    uint32_t m_id = 0;
    int m_priority = 0;
};
} // namespace os
