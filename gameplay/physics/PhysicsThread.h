// PhysicsThread and the physics world: the worker reserved for physics and the world it would step.
// The world has no simulation in this game: its operations change nothing and it never reports
// itself started, so nothing starts the thread. Constructed at start-up, destroyed at exit. The
// thread's tick reads the gameplay clock's pause state, which the main thread writes (atomically).
#pragma once

#include "core/threads/BaseThread.h"

#include <cstdint>

// The physics world of the game: an empty stand-in whose operations do nothing.
class PhysicsWorld
{
public:
    void Reset() {}
    void Step(float seconds) { (void)seconds; }
    void Start() {}
    void Stop() {}
    bool IsStarted() const { return m_started; }
    void MarkNotStarted() { m_started = false; }

private:
    bool m_started = false;
};

// Worker thread "Physics": 8 KB ring without a producer lock, 33 ms between ticks.
class PhysicsThread : public BaseThread
{
public:
    // The fixed step, 1/30 s, in milliseconds (truncated) is the wait between ticks.
    static constexpr float kStepSeconds = 0.033333335f;
    static constexpr uint32_t kRingBytes = 8192;
    static constexpr uintptr_t kSubclassWord = 0x400000;

    PhysicsThread();
    ~PhysicsThread() override;

protected:
    // Counts the tick, runs the commands, then steps the world unless gameplay is paused.
    void Tick() override;
};

extern PhysicsWorld gPhysicsWorld;
extern PhysicsThread* gPhysicsThread;

namespace PhysicsServices
{
// Start-up: makes the physics thread object (not started).
void Create();
// Shutdown of the Game: drains the thread and marks the world stopped, only when it was started.
void StopForGameClose();
// Exit: destroys the thread object.
void Destroy();
} // namespace PhysicsServices
