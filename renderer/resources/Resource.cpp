#include "renderer/resources/Resource.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourcePool.h"
#include "renderer/resources/ResourceRendererLink.h"

#include <cstring>

namespace
{
constexpr uint32_t kWaitStepMs = 10;

const char* const kTypeNames[kResourceTypeCount] = {"texture", "shader", "animation", "font", "template", "sound"};

std::atomic<uint32_t> gResourcesMade{0};
std::atomic<uint32_t> gResourcesDeleted{0};

void WaitWhileLoading(const Resource& resource)
{
    while (resource.GetState() == RESOURCE_STATE_LOADING)
        os::Sleep(kWaitStepMs);
}
} // namespace

Resource::Resource()
{
    gResourcesMade.fetch_add(1, std::memory_order_relaxed);
}

Resource::Resource(const char* name) : Resource()
{
    SetName(name);
}

uint32_t Resource::GetLiveCount()
{
    // Deletions first: read the other way, a resource made and deleted in between would count as
    // deleted but not made.
    const uint32_t deleted = gResourcesDeleted.load(std::memory_order_relaxed);
    return gResourcesMade.load(std::memory_order_relaxed) - deleted;
}

void Resource::SetName(const char* name)
{
    m_name.reset();
    if (name != nullptr && name[0] != 0)
    {
        const size_t length = std::strlen(name);
        m_name = std::make_unique<char[]>(length + 1);
        std::memcpy(m_name.get(), name, length + 1);
    }
}

Resource::~Resource()
{
    gResourcesDeleted.fetch_add(1, std::memory_order_relaxed);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Removing unused resource: %s", GetDisplayName());
    if (m_pool != nullptr)
    {
        os::ScopedLock lock(ResourceManager::GetLock());
        m_pool->Detach(this);
    }
}

const char* Resource::GetTypeName(uint32_t type)
{
    return type < kResourceTypeCount ? kTypeNames[type] : "unknown";
}

void Resource::AddRef()
{
    os::ScopedLock lock(ResourceManager::GetLock());
    m_references.fetch_add(1, std::memory_order_relaxed);
}

void Resource::Release()
{
    os::ScopedLock lock(ResourceManager::GetLock());
    m_references.fetch_sub(1, std::memory_order_relaxed);
}

void Resource::ReleaseArray(Resource* const* resources, uint32_t count)
{
    if (count == 0)
        return;
    os::ScopedLock lock(ResourceManager::GetLock());
    for (uint32_t i = 0; i < count; ++i)
        if (resources[i] != nullptr)
            resources[i]->m_references.fetch_sub(1, std::memory_order_relaxed);
}

void Resource::RequestLoad()
{
    if (gResourceManager != nullptr)
        gResourceManager->QueueLoad(this);
}

void Resource::WaitUntilLoaded(bool submit)
{
    if (submit)
        SubmitRendererCommands(false);
    WaitWhileLoading(*this);
}

void Resource::Load(bool queue)
{
    if (GetState() == RESOURCE_STATE_DONE)
        return;
    // Queueing from the resource thread itself would wait for a command behind this one.
    if (queue && gResourceManager != nullptr && !gResourceManager->IsCurrentThread())
    {
        SubmitRendererCommands(false);
        gResourceManager->QueueLoad(this);
        SubmitRendererCommands(false);
        WaitWhileLoading(*this);
        return;
    }

    bool claimed = false;
    {
        os::ScopedLock lock(ResourceManager::GetLock());
        if (GetState() == RESOURCE_STATE_NOT_LOADED)
            m_state.store(RESOURCE_STATE_LOADING, std::memory_order_release);
        if (!m_loadClaimed)
        {
            m_loadClaimed = true;
            claimed = true;
        }
    }
    if (claimed)
        ResourceManager::LoadResource(this);
    else
        WaitWhileLoading(*this);
}
