// Notices two threads inside the device at once. Every device call enters it; a thread that finds
// another thread inside is counted and logged, then waits its turn, so that the stand-in's own state
// stays consistent while the misuse is reported. Any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace gpu
{
class GpuThreadDetector
{
public:
    explicit GpuThreadDetector(const char* owner) : m_owner(owner) {}

    void Enter(const char* call);
    void Leave() { m_mutex.unlock(); }
    uint64_t GetCollisionCount() const { return m_collisions.load(std::memory_order_acquire); }
    // The thread inside the device right now (0 when none).
    uint32_t GetInsideThread() const { return m_inside.load(std::memory_order_acquire); }

private:
    std::recursive_mutex m_mutex;
    std::atomic<uint32_t> m_inside{0};
    std::atomic<uint64_t> m_collisions{0};
    const char* m_owner;
    friend class GpuCallScope;
};

// Holds the detector for one device call.
class GpuCallScope
{
public:
    GpuCallScope(GpuThreadDetector& detector, const char* call);
    ~GpuCallScope();
    GpuCallScope(const GpuCallScope&) = delete;
    GpuCallScope& operator=(const GpuCallScope&) = delete;

private:
    GpuThreadDetector& m_detector;
    uint32_t m_previous;
};
} // namespace gpu
