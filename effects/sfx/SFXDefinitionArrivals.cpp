// Effects read from their files take the templates their elements name as those come in. A body read
// on the resource thread takes its elements' templates without waiting (it must not wait on its own
// queue), so their passes, boxes and presets are the templates' defaults until the bodies are in. The
// effect template joins a list as it is read; every frame the game thread looks at the listed effects
// whose own bodies are done and lets each element whose templates came in take them. What draws read
// travels to the render thread in a call command, in stream order with the draws of effects already
// playing the definition.
#include "effects/sfx/SFXDefinition.h"

#include "core/threads/CommandRingBuffer.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/Resource.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace
{
static_assert(std::is_trivially_copyable_v<SFXElementDrawData>, "draw data travels by memcpy");

// An effect template whose definition waits, with the reference that keeps it alive.
struct SFXArrivalWaiter
{
    Resource* owner;
    SFXDefinition* definition;
};

// The waiting effects; made on first use and never destroyed (definitions leave it as they die).
struct SFXArrivalList
{
    os::CriticalSection lock;
    std::vector<SFXArrivalWaiter> waiters;
};

SFXArrivalList& GetSFXArrivalList()
{
    static SFXArrivalList* const list = new SFXArrivalList;
    return *list;
}

void ReleaseSFXArrivalOwnerCall(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    Resource* owner = nullptr;
    if (reader.Read(&owner, sizeof(owner)) && owner != nullptr)
        owner->Release();
}

// The owner's reference goes after the hand-overs posted before it have run: until then the render
// thread writes into its definition, which must not be evicted.
void ReleaseSFXArrivalOwner(Resource& owner)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer != nullptr && renderer->IsStreamOpen() && renderer->IsGameThread())
    {
        if (renderer->WriteCall(&ReleaseSFXArrivalOwnerCall, 0, uint32_t(sizeof(void*))))
        {
            Resource* const released = &owner;
            renderer->GetWriter().Put(released);
            return;
        }
        renderer->SubmitCommands(true);
    }
    owner.Release();
}
} // namespace

bool SFXDefinition::WaitsForArrivals() const
{
    for (const SFXElementDefinition* element : m_elements)
        if (element != nullptr && element->IsTemplatePending() && element->TakesArrivedTemplates())
            return true;
    return false;
}

void SFXDefinition::WaitForArrivals(Resource& owner)
{
    SFXArrivalList& list = GetSFXArrivalList();
    os::ScopedLock lock(list.lock);
    for (const SFXArrivalWaiter& waiter : list.waiters)
        if (waiter.definition == this)
            return;
    owner.AddRef();
    list.waiters.push_back({&owner, this});
}

void SFXDefinition::StopWaitingForArrivals()
{
    SFXArrivalList& list = GetSFXArrivalList();
    os::ScopedLock lock(list.lock);
    // The owner dies with the definition (its pool is going): its reference goes with it.
    list.waiters.erase(std::remove_if(list.waiters.begin(), list.waiters.end(),
                                      [this](const SFXArrivalWaiter& waiter) { return waiter.definition == this; }),
                       list.waiters.end());
}

void SFXDefinition::TakeArrivedTemplatesOfAll()
{
    SFXArrivalList& list = GetSFXArrivalList();
    std::vector<SFXArrivalWaiter> waiters;
    {
        os::ScopedLock lock(list.lock);
        if (list.waiters.empty())
            return;
        waiters = list.waiters;
    }
    // Outside the lock: taking a template takes the template lock, which the resource thread holds
    // while it reads a body that may join the list. Each waiter's reference keeps it alive.
    for (const SFXArrivalWaiter& waiter : waiters)
    {
        // Until its owner's load has completed the resource thread may still be writing the body.
        if (waiter.owner->GetState() != RESOURCE_STATE_DONE)
            continue;
        waiter.definition->TakeArrivedTemplates();
        if (waiter.definition->WaitsForArrivals())
            continue;
        {
            os::ScopedLock lock(list.lock);
            list.waiters.erase(std::remove_if(list.waiters.begin(), list.waiters.end(),
                                              [&waiter](const SFXArrivalWaiter& listed) {
                                                  return listed.definition == waiter.definition;
                                              }),
                               list.waiters.end());
        }
        ReleaseSFXArrivalOwner(*waiter.owner);
    }
}

void SFXDefinition::StopWaitingForAllArrivals()
{
    SFXArrivalList& list = GetSFXArrivalList();
    std::vector<SFXArrivalWaiter> waiters;
    {
        os::ScopedLock lock(list.lock);
        waiters.swap(list.waiters);
    }
    if (waiters.empty())
        return;
    // No hand-over may still write into a definition whose owner may then go.
    if (gRenderer != nullptr && gRenderer->IsGameThread())
        gRenderer->SubmitCommands(true);
    for (const SFXArrivalWaiter& waiter : waiters)
        waiter.owner->Release();
}

void SFXDefinition::TakeArrivedTemplates()
{
    const auto arrived = [](const SFXElementDefinition* element) {
        return element != nullptr && element->IsTemplatePending() && element->HasTemplateArrived();
    };
    if (std::none_of(m_elements.begin(), m_elements.end(), arrived))
        return;
    // The aggregates below read the elements' draw data: no earlier hand-over may still be writing it.
    SettleHandOvers();
    // Taken before any is handed over: the aggregates are of the new values, read nowhere else yet.
    m_passBits = 0;
    m_depthPass = 0;
    m_flag32 = 0;
    for (SFXElementDefinition* element : m_elements)
    {
        if (element == nullptr)
            continue;
        if (!arrived(element))
        {
            m_passBits |= element->GetPassBits();
            m_depthPass |= element->GetDepthPassByte();
            m_flag32 |= element->GetFlag32Byte();
            continue;
        }
        SFXElementDrawData drawn;
        element->TakeArrivedTemplate(drawn);
        m_passBits |= drawn.passBits;
        m_depthPass |= drawn.depthPass;
        m_flag32 |= drawn.flag32;
        HandOverDrawData(*element, drawn);
    }
}

void SFXDefinition::HandOverDrawData(SFXElementDefinition& element, const SFXElementDrawData& drawn)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr || !renderer->IsStreamOpen() || !renderer->IsGameThread())
    {
        element.InstallDrawData(drawn);
        return;
    }
    if (!renderer->WriteCall(&SFXDefinition::InstallHandedOver, 0,
                             uint32_t(2 * sizeof(void*) + sizeof(SFXElementDrawData))))
    {
        // Refused (logged): installed once nothing draws any more.
        renderer->SubmitCommands(true);
        element.InstallDrawData(drawn);
        return;
    }
    SFXDefinition* const self = this;
    SFXElementDefinition* const target = &element;
    renderer->GetWriter().Put(self);
    renderer->GetWriter().Put(target);
    renderer->GetWriter().Put(drawn);
    ++m_handOversPosted;
}

void SFXDefinition::InstallHandedOver(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    SFXDefinition* definition = nullptr;
    SFXElementDefinition* element = nullptr;
    SFXElementDrawData drawn;
    if (!reader.Read(&definition, sizeof(definition)) || !reader.Read(&element, sizeof(element)) ||
        !reader.Read(&drawn, sizeof(drawn)) || definition == nullptr || element == nullptr)
        return;
    element->InstallDrawData(drawn);
    definition->m_handOversInstalled.fetch_add(1, std::memory_order_release);
}

void SFXDefinition::SettleHandOvers()
{
    if (gRenderer == nullptr || !gRenderer->IsGameThread() ||
        m_handOversInstalled.load(std::memory_order_acquire) == m_handOversPosted)
        return;
    gRenderer->SubmitCommands(true);
    // A command that could not be read installs nothing; after the drain none is left in flight.
    m_handOversPosted = m_handOversInstalled.load(std::memory_order_acquire);
}
