#include "renderer/resources/ResourcePool.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "renderer/resources/Resource.h"

#include <algorithm>
#include <cstring>

ResourcePool::~ResourcePool()
{
    // Unlink first so that the destructors do not come back to this list.
    Dynarray<Resource*> resources = std::move(m_resources);
    for (Resource* resource : resources)
    {
        resource->m_pool = nullptr;
        delete resource;
    }
}

void ResourcePool::AssignName(Resource* resource, const char* name)
{
    resource->SetName(name);
}

int32_t ResourcePool::LowerBound(const char* name, bool& found) const
{
    int32_t low = 0;
    int32_t high = m_resources.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (StrICmp(m_resources[middle]->GetName(), name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    found = low < m_resources.Count() && StrICmp(m_resources[low]->GetName(), name) == 0;
    return low;
}

Resource* ResourcePool::FindOrCreate(const char* name, uint32_t parameter, bool create, uint32_t flags)
{
    char normalised[kMaxNameLength + 1];
    const size_t length = std::min<size_t>(std::strlen(name), kMaxNameLength);
    std::memcpy(normalised, name, length);
    normalised[length] = 0;
    StrReplaceChar(normalised, '\\', '/');

    bool found = false;
    const int32_t index = LowerBound(normalised, found);
    if (found)
    {
        Resource* resource = m_resources[index];
        resource->m_flags.fetch_or(flags, std::memory_order_relaxed);
        resource->m_references.fetch_add(1, std::memory_order_relaxed);
        return resource;
    }
    if (!create)
        return nullptr;

    Resource* resource = CreateResource(normalised, parameter);
    if (resource == nullptr)
        return nullptr;
    resource->m_flags.fetch_or(flags, std::memory_order_relaxed);
    if (!Insert(resource))
    {
        delete resource;
        return nullptr;
    }
    resource->m_references.fetch_add(1, std::memory_order_relaxed);
    return resource;
}

bool ResourcePool::Insert(Resource* resource)
{
    bool found = false;
    const int32_t index = LowerBound(resource->GetName(), found);
    if (found)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Resource %s is already in its pool", resource->GetDisplayName());
        return false;
    }
    m_resources.Insert(resource, index);
    resource->m_pool = this;
    return true;
}

void ResourcePool::Detach(Resource* resource)
{
    m_resources.RemoveValue(resource);
    resource->m_pool = nullptr;
}

void ResourcePool::CollectUnused(uint32_t filterMask, uint32_t filterValue, Dynarray<Resource*>& out)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < m_resources.Count(); ++i)
    {
        Resource* resource = m_resources[i];
        if (resource->GetReferenceCount() == 0 && (resource->GetFlags() & filterMask) == (filterValue & filterMask))
        {
            resource->m_pool = nullptr;
            out.Add(resource);
        }
        else
        {
            m_resources[kept++] = resource;
        }
    }
    if (kept < m_resources.Count())
        m_resources.RemoveRange(kept, m_resources.Count() - 1);
}

void ResourcePool::ReloadAll()
{
    int32_t reloaded = 0;
    for (Resource* resource : m_resources)
        if (resource->GetState() == RESOURCE_STATE_DONE)
        {
            resource->Reload();
            ++reloaded;
        }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Reloaded %d resources", reloaded);
}

void ResourcePool::Dump()
{
    uint32_t totalSize = 0;
    for (const Resource* resource : m_resources)
    {
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "%08d %s, state: %u", int(resource->GetSize()),
                        resource->GetDisplayName(), resource->GetState());
        totalSize += resource->GetSize();
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Total resNum:%d resSize:%d", m_resources.Count(), int(totalSize));
}

void ResourcePool::UnloadData(bool keep)
{
    for (Resource* resource : m_resources)
    {
        if (resource->GetState() != RESOURCE_STATE_DONE)
            continue;
        if (keep && (resource->GetFlags() & RESOURCE_FLAG_KEEP_DATA) != 0)
            continue;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Unloading data for resource %s", resource->GetDisplayName());
        resource->UnloadData();
    }
}

void ResourcePool::RefreshAll()
{
    for (Resource* resource : m_resources)
        if (resource->GetState() == RESOURCE_STATE_DONE)
            resource->Refresh();
}

void ResourcePool::MarkAll(uint32_t flags)
{
    for (Resource* resource : m_resources)
        resource->m_flags.fetch_or(flags, std::memory_order_relaxed);
}
