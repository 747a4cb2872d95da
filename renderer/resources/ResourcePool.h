// One pool per resource type: the type's resources sorted by name. Every operation runs under the
// resource manager's lock (the caller holds it); the pool itself has no lock.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>

class Resource;

// Name list of one resource type (ASCII case-insensitive order) and the type's creator.
class ResourcePool
{
public:
    // Longest name kept, terminator excluded.
    static constexpr uint32_t kMaxNameLength = 259;

    explicit ResourcePool(uint32_t type) : m_type(type) {}
    // Deletes every resource still listed, clearing its pool link first.
    virtual ~ResourcePool();
    ResourcePool(const ResourcePool&) = delete;
    ResourcePool& operator=(const ResourcePool&) = delete;

    // A new unloaded resource of the pool's type, or null (logged).
    virtual Resource* CreateResource(const char* name, uint32_t parameter) = 0;

    // '\' becomes '/' and the name is cut to kMaxNameLength characters. Found: flags ORed in, one
    // reference added. Not found: null without create, else a new resource with one reference.
    Resource* FindOrCreate(const char* name, uint32_t parameter, bool create, uint32_t flags);
    // Adds at the sorted place and links the pool; false when the name is already listed.
    bool Insert(Resource* resource);
    // Takes a resource off the list (its destructor calls this).
    void Detach(Resource* resource);
    // Moves every unreferenced resource whose (flags & mask) == (value & mask) to `out`, unlinked.
    void CollectUnused(uint32_t filterMask, uint32_t filterValue, Dynarray<Resource*>& out);

    void ReloadAll();
    void Dump();
    void UnloadData(bool keep);
    void RefreshAll();
    void MarkAll(uint32_t flags);

    uint32_t GetType() const { return m_type; }
    int32_t GetCount() const { return m_resources.Count(); }
    Resource* GetResource(int32_t index) const { return m_resources[index]; }

protected:
    // For pools whose objects are made without a name (by class name).
    static void AssignName(Resource* resource, const char* name);

private:
    // Index of the first entry not below `name`; `found` when it is equal.
    int32_t LowerBound(const char* name, bool& found) const;

    const uint32_t m_type;
    Dynarray<Resource*> m_resources;
};
