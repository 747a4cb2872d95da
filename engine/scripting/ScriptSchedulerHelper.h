// Runs script calls after a delay measured on one clock (ticks of 10 MHz). Three exist: the Game's
// game and gameplay schedulers and the global one on the engine timer. Records are kept sorted by
// due time, equal due times in the order they were added. Calls due are taken out of the list before
// any runs, so a running call may schedule freely; what it schedules runs in a later update.
// Cancelling always wins: the delete functions also reach the calls of the batch being run, so a
// repeating call cancelled from its own callback (or any call of the same update) is not run again.
// Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "scene/entities/Entity.h"

#include <cstdint>
#include <optional>

// One delayed script call, optionally repeating, optionally owned by an entity.
struct ScheduledScriptCall
{
    enum Flags : uint32_t
    {
        FLAG_REPEAT = 1u << 0,
        FLAG_NAMED = 1u << 1,
        FLAG_HAS_OWNER = 1u << 31,
    };

    int64_t dueTicks = 0;
    SafePointer<Entity> owner;
    // Owned copy (freed by the scheduler), or null.
    char* name = nullptr;
    uint32_t id = 0;
    uint32_t flags = 0;
    float intervalSeconds = 0.0f;
};

// Delayed script calls against one clock.
class ScriptSchedulerHelper
{
public:
    ScriptSchedulerHelper() = default;
    ~ScriptSchedulerHelper();
    ScriptSchedulerHelper(const ScriptSchedulerHelper&) = delete;
    ScriptSchedulerHelper& operator=(const ScriptSchedulerHelper&) = delete;

    // Index of the new record.
    int32_t Schedule(Entity* owner, int64_t nowTicks, float delaySeconds, uint32_t flags);
    void AddCall(Entity* owner, const char* name, int64_t nowTicks, float delaySeconds, uint32_t flags);
    void AddOwnedCall(Entity* owner, uint32_t id, int64_t nowTicks, float delaySeconds, uint32_t flags);
    // A null name matches every named call of the owner (a null owner matches calls without one).
    void DeleteByName(const Entity* owner, const char* name);
    void DeleteByOwnerAndId(const Entity* owner, uint32_t id);
    std::optional<int64_t> FindByOwnerAndId(const Entity* owner, uint32_t id) const;

    void Update(int64_t nowTicks);
    void Clear();

    int32_t GetCount() const { return m_calls.Count(); }
    const DynarraySafe<ScheduledScriptCall>& GetCalls() const { return m_calls; }

private:
    // Index of the copy, placed after every call not due later.
    int32_t Insert(const ScheduledScriptCall& call);
    void Run(ScheduledScriptCall& call);
    static void Cancel(DynarraySafe<ScheduledScriptCall>& calls, const Entity* owner, const char* name);
    static void CancelOwned(DynarraySafe<ScheduledScriptCall>& calls, const Entity* owner, uint32_t id);
    static void FreeNames(DynarraySafe<ScheduledScriptCall>& calls);

    DynarraySafe<ScheduledScriptCall> m_calls;
    // The calls of the update in progress, still reachable by the delete functions.
    DynarraySafe<ScheduledScriptCall> m_running;
};

// The global scheduler, on the real-time engine timer (gEngineTimer); lives for the whole program.
extern ScriptSchedulerHelper gGlobalScriptScheduler;
