#include "engine/scripting/ScriptSchedulerHelper.h"

#include "core/console/GameConsole.h"
#include "engine/scripting/LuaWrapper.h"
#include "platform/os/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace
{
char* CopyName(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const size_t length = std::strlen(name);
    char* copy = new char[length + 1];
    std::memcpy(copy, name, length + 1);
    return copy;
}

void FreeName(ScheduledScriptCall& call)
{
    delete[] call.name;
    call.name = nullptr;
}

bool OwnerMatches(const ScheduledScriptCall& call, const Entity* owner)
{
    return (call.flags & ScheduledScriptCall::FLAG_HAS_OWNER) != 0 ? call.owner.Get() == owner && owner != nullptr
                                                                    : owner == nullptr;
}

// Delays come from scripts: a NaN or a delay beyond the clock's range would make the conversion
// undefined and could wrap the due time into the past, so they are held to a century.
int64_t DelayToTicks(float seconds)
{
    constexpr double kLongestSeconds = 100.0 * 365.0 * 24.0 * 3600.0;
    if (std::isnan(seconds))
        return 0;
    return int64_t(std::clamp(double(seconds), -kLongestSeconds, kLongestSeconds) * double(os::kCounterFrequency));
}
} // namespace

ScriptSchedulerHelper gGlobalScriptScheduler;

ScriptSchedulerHelper::~ScriptSchedulerHelper()
{
    FreeNames(m_calls);
    FreeNames(m_running);
}

int32_t ScriptSchedulerHelper::Schedule(Entity* owner, int64_t nowTicks, float delaySeconds, uint32_t flags)
{
    ScheduledScriptCall call;
    call.dueTicks = nowTicks + DelayToTicks(delaySeconds);
    call.flags = flags;
    if (owner != nullptr)
    {
        call.owner = owner;
        call.flags |= ScheduledScriptCall::FLAG_HAS_OWNER;
    }
    else
    {
        call.flags &= ~ScheduledScriptCall::FLAG_HAS_OWNER;
        if ((call.flags & ScheduledScriptCall::FLAG_REPEAT) != 0)
        {
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Only entity based scripts are allowed to repeat - ignoring");
            call.flags &= ~ScheduledScriptCall::FLAG_REPEAT;
        }
    }
    call.intervalSeconds = delaySeconds;
    return Insert(call);
}

int32_t ScriptSchedulerHelper::Insert(const ScheduledScriptCall& call)
{
    int32_t low = 0;
    int32_t high = m_calls.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (m_calls[middle].dueTicks <= call.dueTicks)
            low = middle + 1;
        else
            high = middle;
    }
    return m_calls.Insert(call, low);
}

void ScriptSchedulerHelper::AddCall(Entity* owner, const char* name, int64_t nowTicks, float delaySeconds,
                                    uint32_t flags)
{
    const int32_t index = Schedule(owner, nowTicks, delaySeconds, flags | ScheduledScriptCall::FLAG_NAMED);
    m_calls[index].name = CopyName(name);
}

void ScriptSchedulerHelper::AddOwnedCall(Entity* owner, uint32_t id, int64_t nowTicks, float delaySeconds,
                                         uint32_t flags)
{
    const int32_t index = Schedule(owner, nowTicks, delaySeconds, flags);
    m_calls[index].id = id;
}

void ScriptSchedulerHelper::Cancel(DynarraySafe<ScheduledScriptCall>& calls, const Entity* owner, const char* name)
{
    for (ScheduledScriptCall& call : calls)
    {
        if ((call.flags & ScheduledScriptCall::FLAG_NAMED) == 0 || !OwnerMatches(call, owner))
            continue;
        if (name != nullptr && (call.name == nullptr || std::strcmp(call.name, name) != 0))
            continue;
        call.flags &= ~ScheduledScriptCall::FLAG_REPEAT;
        FreeName(call);
    }
}

void ScriptSchedulerHelper::CancelOwned(DynarraySafe<ScheduledScriptCall>& calls, const Entity* owner, uint32_t id)
{
    for (ScheduledScriptCall& call : calls)
    {
        if ((call.flags & ScheduledScriptCall::FLAG_NAMED) != 0 || call.id != id || !OwnerMatches(call, owner))
            continue;
        call.flags &= ~ScheduledScriptCall::FLAG_REPEAT;
        call.flags |= ScheduledScriptCall::FLAG_NAMED;
        FreeName(call);
    }
}

void ScriptSchedulerHelper::DeleteByName(const Entity* owner, const char* name)
{
    Cancel(m_calls, owner, name);
    Cancel(m_running, owner, name);
}

void ScriptSchedulerHelper::DeleteByOwnerAndId(const Entity* owner, uint32_t id)
{
    CancelOwned(m_calls, owner, id);
    CancelOwned(m_running, owner, id);
}

std::optional<int64_t> ScriptSchedulerHelper::FindByOwnerAndId(const Entity* owner, uint32_t id) const
{
    for (const ScheduledScriptCall& call : m_calls)
        if ((call.flags & ScheduledScriptCall::FLAG_NAMED) == 0 && call.id == id && OwnerMatches(call, owner))
            return call.dueTicks;
    return std::nullopt;
}

void ScriptSchedulerHelper::Update(int64_t nowTicks)
{
    // A script that runs an update from inside a scheduled call gets nothing: the batch in progress
    // must finish first.
    if (!m_running.IsEmpty())
        return;
    int32_t due = 0;
    while (due < m_calls.Count() && m_calls[due].dueTicks <= nowTicks)
        ++due;
    if (due == 0)
        return;
    // The names move with the records into the batch.
    for (int32_t i = 0; i < due; ++i)
        m_running.Add(m_calls[i]);
    m_calls.RemoveRange(0, due - 1);

    for (int32_t i = 0; i < m_running.Count(); ++i)
    {
        Run(m_running[i]);
        ScheduledScriptCall& call = m_running[i];
        if ((call.flags & ScheduledScriptCall::FLAG_REPEAT) != 0 && call.owner)
        {
            call.dueTicks = nowTicks + DelayToTicks(call.intervalSeconds);
            Insert(call);
            call.name = nullptr;
        }
        else
            FreeName(call);
    }
    m_running.Clear();
}

void ScriptSchedulerHelper::Run(ScheduledScriptCall& call)
{
    const bool hasOwner = (call.flags & ScheduledScriptCall::FLAG_HAS_OWNER) != 0;
    if (hasOwner && !call.owner)
    {
        call.flags &= ~ScheduledScriptCall::FLAG_REPEAT;
        return;
    }
    if ((call.flags & ScheduledScriptCall::FLAG_NAMED) != 0)
    {
        if (call.name == nullptr)
            return;
        // The call may cancel itself, which frees the name: run from a copy.
        const std::unique_ptr<char[]> text(CopyName(call.name));
        if (!hasOwner)
            gLua.LoadAndCall(text.get(), 0);
        else
        {
            gLua.PushString(text.get());
            gLua.CallObjectMethod(call.owner.Get(), "ScriptSchedulerHelper", 1, 0);
        }
        return;
    }
    // A numbered callback scheduled without an owner has nobody to reach.
    if (call.owner)
        call.owner->OnScheduledCallback(call.id);
}

void ScriptSchedulerHelper::FreeNames(DynarraySafe<ScheduledScriptCall>& calls)
{
    for (ScheduledScriptCall& call : calls)
        FreeName(call);
}

void ScriptSchedulerHelper::Clear()
{
    FreeNames(m_calls);
    m_calls.FreeStorage();
    // Calls of an update in progress are cancelled, not removed under the running loop.
    for (ScheduledScriptCall& call : m_running)
    {
        call.flags = (call.flags & ~ScheduledScriptCall::FLAG_REPEAT) | ScheduledScriptCall::FLAG_NAMED;
        FreeName(call);
    }
}
