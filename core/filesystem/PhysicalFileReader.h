// The container file reader thread ("PhysicalFileReader", one global object): serves the block
// reads that container streams post, in posting order, from data files it keeps open per reader
// group and container part. Any thread may post; the results are handed back through the posting
// thread's buffers and a completed-read count that tickets are compared against.
#pragma once

#include "core/threads/BaseThread.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// Reads container data files on its own thread.
class PhysicalFileReader : public BaseThread
{
public:
    static constexpr uint32_t kGroupCount = 11;
    static constexpr uint32_t kNoGroup = 11; // opens the file for each read and closes it after
    static constexpr uint32_t kMaxParts = 4;

    PhysicalFileReader();
    ~PhysicalFileReader() override;

    // Starts the thread unless it runs already; any thread.
    void EnsureStarted();

    // Opens the data file of (group, part) on the reader thread unless it is open already.
    void PostOpenFile(uint32_t group, uint32_t part, const char* path);
    // Queues a read of `size` bytes at `offset` into `destination`. The returned ticket completes
    // once IsComplete(ticket); *bytesRead then holds the bytes really read (less than size on a
    // failed open, seek or read).
    uint32_t PostRead(uint32_t group, uint32_t part, const char* path, uint64_t offset, void* destination,
                      uint32_t size, uint32_t* bytesRead);

    // Tickets wrap around; a ticket counts as done when the completed count has reached it.
    bool IsComplete(uint32_t ticket) const
    {
        return static_cast<int32_t>(m_completed.load(std::memory_order_acquire) - ticket) >= 0;
    }
    // Waits (yielding) until the read of `ticket` has completed.
    void WaitFor(uint32_t ticket) const;

private:
    enum Operation : uint32_t
    {
        OPERATION_OPEN = 0,
        OPERATION_READ = 1,
    };

    // Command payload after the call header; the pointers widen to 64 bits here, so every size is
    // taken from this layout, never from 32-bit counts.
    struct Request
    {
        uint32_t operation;
        uint32_t group;
        uint32_t part;
        uint32_t pathLength; // bytes of the path that follows, terminator included
        uint64_t offset;
        void* destination;
        uint32_t* bytesRead;
        uint32_t size;
    };

    static void Execute(BaseThread& thread, uintptr_t argument, CommandRingBuffer& ring);
    uint32_t Post(const Request& request, const char* path);
    void ExecuteOpen(const Request& request, const char* path);
    void ExecuteRead(const Request& request, const char* path);
    // The kept handle of (group, part) for `path`, opened (or reopened for another path) when needed.
    FILE* KeptFile(uint32_t group, uint32_t part, const char* path);

    FILE* m_files[kGroupCount][kMaxParts] = {}; // reader thread only
    std::string m_paths[kGroupCount][kMaxParts]; // the file each kept handle was opened for
    std::atomic<uint32_t> m_posted{0};          // written under the producer lock
    std::atomic<uint32_t> m_completed{0};       // written by the reader thread
    std::once_flag m_started;
};

extern PhysicalFileReader gPhysicalFileReader;
