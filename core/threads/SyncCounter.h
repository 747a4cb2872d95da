// Issued/completed work counter shared by one producing and one consuming thread: the producer
// counts issued work, the consumer completed work, and either compares them.
#pragma once

#include <atomic>
#include <cstdint>

// Two single-writer counters whose comparison tells whether all issued work is done.
class SyncCounter
{
public:
    // Only while neither side is counting.
    void Reset()
    {
        m_issued.store(0, std::memory_order_seq_cst);
        m_completed.store(0, std::memory_order_seq_cst);
    }
    // Producing thread only; earlier writes become visible before the count.
    void IncrementIssued() { m_issued.fetch_add(1, std::memory_order_seq_cst); }
    // Consuming thread only.
    void IncrementCompleted() { m_completed.fetch_add(1, std::memory_order_seq_cst); }

    uint32_t GetIssued() const { return m_issued.load(std::memory_order_acquire); }
    uint32_t GetCompleted() const { return m_completed.load(std::memory_order_acquire); }
    bool IsAllCompleted() const { return GetCompleted() == GetIssued(); }

private:
    std::atomic<uint32_t> m_issued{0};
    std::atomic<uint32_t> m_completed{0};
};
