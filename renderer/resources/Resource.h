// Resources: everything the resource manager finds, loads, counts and evicts.
//
// A resource is created unloaded (state 0) by ResourceManager::GetResource, which hands out one
// reference. A load request queues it on the resource thread (state 1); the type's DoLoad reads the
// file and posts renderer jobs for its device objects; the state then becomes 2, also after a
// failure, which HasLoadFailed tells apart. Exactly one thread runs a resource's load: the first
// one to claim it; every other requester waits for that load to finish. Releasing the last
// reference never deletes: unreferenced resources wait for an eviction.
//
// Reference counts, states, flags and pool links change only under the manager lock; waiters read
// the state without it. Any thread may call the public operations; DoLoad and the maintenance hooks
// run where the manager runs them (the resource thread or a thread doing a blocking load).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class ResourcePool;

enum ResourceType : uint32_t
{
    RESOURCE_TYPE_TEXTURE = 0,
    RESOURCE_TYPE_SHADER = 1,
    RESOURCE_TYPE_ANIMATION = 2,
    RESOURCE_TYPE_FONT = 3,
    RESOURCE_TYPE_TEMPLATE = 4,
    RESOURCE_TYPE_SOUND = 5,
    kResourceTypeCount = 6,
};

enum ResourceState : uint32_t
{
    RESOURCE_STATE_NOT_LOADED = 0,
    RESOURCE_STATE_LOADING = 1, // queued or being loaded
    RESOURCE_STATE_DONE = 2,    // loaded or failed
};

// Flag bits ORed in by callers; evictions filter on them.
enum ResourceFlag : uint32_t
{
    RESOURCE_FLAG_STARTUP = 1,
    RESOURCE_FLAG_KEEP_DATA = 32,
    RESOURCE_FLAG_SCENE_TEXTURE = 128,
    RESOURCE_FLAG_LOADING_SCREEN = 256,
};

// Base of every loadable resource: name, size, state, reference count, pool link and flags.
class Resource
{
public:
    explicit Resource(const char* name);
    // Unnamed until its pool names it (objects made by class name).
    Resource();
    virtual ~Resource();
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    virtual uint32_t GetType() const = 0;
    // Asks the file system to open the resource's file ahead.
    virtual void Prefetch() {}
    // Reads the file and builds the resource; false (with the reason logged) on failure.
    virtual bool DoLoad() = 0;
    // Maintenance of resources in state 2; the state stays 2.
    virtual void Reload() {}
    virtual void UnloadData() {}
    virtual void Refresh() {}

    void AddRef();
    void Release();
    // Releases every non-null entry under one hold of the lock.
    static void ReleaseArray(Resource* const* resources, uint32_t count);

    // Queues the resource on the resource thread unless it was queued or loaded already.
    void RequestLoad();
    // Returns once no load is pending; with submit, hands the renderer its written commands first.
    void WaitUntilLoaded(bool submit);
    // Blocking load. queue: load on the resource thread and wait; otherwise load on this thread,
    // or wait for the load another thread has already started.
    void Load(bool queue);

    // Null for a resource made without a name.
    const char* GetName() const { return m_name.get(); }
    // For log lines: never null.
    const char* GetDisplayName() const { return m_name ? m_name.get() : ""; }
    uint32_t GetSize() const { return m_size.load(std::memory_order_relaxed); }
    uint32_t GetState() const { return m_state.load(std::memory_order_acquire); }
    // True once the load ended and failed; the state is then 2 with the data empty.
    bool HasLoadFailed() const { return m_failed.load(std::memory_order_acquire); }
    // Loaded and usable.
    bool IsLoaded() const { return GetState() == RESOURCE_STATE_DONE && !HasLoadFailed(); }
    int32_t GetReferenceCount() const { return m_references.load(std::memory_order_relaxed); }
    uint32_t GetFlags() const { return m_flags.load(std::memory_order_relaxed); }
    ResourcePool* GetPool() const { return m_pool; }

    // "texture", "shader", "animation", "font", "template", "sound"; "unknown" past the table.
    static const char* GetTypeName(uint32_t type);
    // Resources made minus resources deleted, of every type (any thread).
    static uint32_t GetLiveCount();

protected:
    // Bytes of data held, set by the loader.
    void SetSize(uint32_t bytes) { m_size.store(bytes, std::memory_order_relaxed); }

private:
    friend class ResourceManager;
    friend class ResourcePool;

    void SetName(const char* name);

    std::unique_ptr<char[]> m_name;
    std::atomic<uint32_t> m_size{0};
    std::atomic<uint32_t> m_state{RESOURCE_STATE_NOT_LOADED};
    std::atomic<int32_t> m_references{0};
    ResourcePool* m_pool = nullptr;
    std::atomic<uint32_t> m_flags{0};
    std::atomic<bool> m_failed{false};
    bool m_loadClaimed = false; // a thread has started (or finished) the load; under the lock
};
