#include "gameplay/physics/PhysicsThread.h"

#include "engine/Game.h"

PhysicsWorld gPhysicsWorld;
PhysicsThread* gPhysicsThread = nullptr;

PhysicsThread::PhysicsThread()
    : BaseThread("Physics", kRingBytes, false, uint32_t(kStepSeconds * 1000.0f), kSubclassWord)
{
}

PhysicsThread::~PhysicsThread()
{
    Stop();
}

void PhysicsThread::Tick()
{
    BaseThread::Tick();
    if (gGame.GetGameplayTimer().IsPaused())
        return;
    gPhysicsWorld.Step(kStepSeconds);
}

namespace PhysicsServices
{
void Create()
{
    if (gPhysicsThread == nullptr)
        gPhysicsThread = new PhysicsThread;
}

void StopForGameClose()
{
    if (!gPhysicsWorld.IsStarted())
        return;
    if (gPhysicsThread != nullptr)
        gPhysicsThread->Flush();
    gPhysicsWorld.MarkNotStarted();
}

void Destroy()
{
    delete gPhysicsThread;
    gPhysicsThread = nullptr;
}
} // namespace PhysicsServices
