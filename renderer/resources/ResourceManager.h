// The resource manager: one global thread ("ResourceManager") that owns a pool per resource type,
// loads queued resources, evicts unreferenced ones, preloads a scene's resource list and runs the
// maintenance passes (reload, dump, unload data, refresh).
//
// Any thread finds or creates resources (GetResource, one reference added) and posts commands;
// only the resource thread runs the commands. One lock (GetLock) guards the pools and every
// resource's reference count, state, flags and pool link, and the prefetch slot. Eviction collects
// under the lock and deletes outside it, repeating until a round frees nothing, so resources that
// a deleted resource released go in the same command. Who waits on the resource thread, and its
// place in start-up: docs/architecture.md.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/filesystem/StreamingFileReaderList.h"
#include "core/threads/BaseThread.h"
#include "platform/os/Sync.h"
#include "renderer/resources/Resource.h"

#include <cstdint>

class FileReader;
class ResourceEntry;
class ResourceList;
class ResourcePool;

// Pool masks: bit n selects resource type n.
enum ResourcePoolMask : uint32_t
{
    RESOURCE_POOL_TEXTURES = 1u << RESOURCE_TYPE_TEXTURE,
    RESOURCE_POOL_SHADERS = 1u << RESOURCE_TYPE_SHADER,
    RESOURCE_POOL_ANIMATIONS = 1u << RESOURCE_TYPE_ANIMATION,
    RESOURCE_POOL_FONTS = 1u << RESOURCE_TYPE_FONT,
    RESOURCE_POOL_TEMPLATES = 1u << RESOURCE_TYPE_TEMPLATE,
    RESOURCE_POOL_SOUNDS = 1u << RESOURCE_TYPE_SOUND,
    RESOURCE_POOL_ALL = 0xFFFFFFFFu,
    RESOURCE_POOL_ALL_BUT_SHADERS = 0xFFFFFFFDu, // -3
};

// Commands of the resource thread.
enum ResourceManagerCommand : uint32_t
{
    RESOURCE_COMMAND_LOAD = 10,         // resource pointer
    RESOURCE_COMMAND_LOAD_BATCH = 11,   // u32 count, count resource pointers
    RESOURCE_COMMAND_EVICT = 12,        // u32 pool mask, u32 filter mask, u32 filter value
    RESOURCE_COMMAND_READ_FILE = 13,    // out-slot pointer, u32 path length, path and terminator
    RESOURCE_COMMAND_PRELOAD_LIST = 14, // u32 path length, path and terminator
    RESOURCE_COMMAND_RELOAD = 15,       // u32 pool mask
    RESOURCE_COMMAND_DUMP = 17,         // u32 pool mask
    RESOURCE_COMMAND_UNLOAD_DATA = 18,  // u32 pool mask, u8 keep
    RESOURCE_COMMAND_REFRESH = 19,      // u32 pool mask
    RESOURCE_COMMAND_SHUTDOWN = 21,     // none
    RESOURCE_COMMAND_DUMP_SOUND_MEMORY = 22, // none
};

// The resource loader thread and its pools (one global instance, gResourceManager).
class ResourceManager : public BaseThread
{
public:
    // Becomes gResourceManager until destroyed.
    ResourceManager();
    ~ResourceManager() override;

    // Creates the pools and starts the thread; false when the thread could not start.
    bool Init();
    // Evicts every pool but the shaders, shuts the pools down on the thread and stops it.
    void Close();
    bool IsInitialised() const { return m_initialised.load(std::memory_order_acquire); }

    // Finds or (with create) creates the named resource of a type with one added reference; null for
    // a null or empty name, an unknown type, before Init, or when the pool could not create it.
    Resource* GetResource(uint32_t type, const char* name, uint32_t parameter, bool create, uint32_t flags);
    void SetResourceFlags(Resource* resource, uint32_t flags);
    // ORs value into the flags of every resource of the pools in the mask.
    void MarkResources(uint32_t poolMask, uint32_t value);

    // Queues one unloaded resource (state 0 to 1, one reference held by the queue).
    void QueueLoad(Resource* resource);
    // Queues a batch read from the shared optimized templates stream. Only unloaded entries are
    // queued; the others travel as null so that their records are skipped.
    void QueueLoadBatch(Resource* const* resources, uint32_t count);
    // Runs the resource's load on this thread and ends it in state 2 (failed flag on failure).
    static void LoadResource(Resource* resource);

    // Posting wrappers (any thread).
    void PostCommand(uint32_t poolMask, uint32_t filterMask, uint32_t filterValue);
    // The file's bytes land in *out (allocated with new[]; the poster frees them with delete[])
    // once the thread has run the command; *out is left alone when the file is missing or cannot be
    // read. An empty file gives a buffer too, so that *out tells whether the file exists.
    void PostReadFile(uint8_t** out, const char* name, const char* extension, const char* folder);
    void PostPreloadResourceList(const char* name, const char* extension, const char* folder);
    void PostReloadResources(uint32_t poolMask, bool wait);
    void PostDumpResources(uint32_t poolMask, bool wait);
    void PostUnloadResourceData(uint32_t poolMask, bool keep);
    void PostRefreshResources(uint32_t poolMask);
    // Logs the sound memory pool's chunks on the resource thread.
    void PostDumpSoundMemory();

    // Look-ahead prefetch: the slot holds one reference; loaders call StartPendingPrefetch once
    // their own file has opened.
    void SetPrefetchResource(Resource* resource);
    void StartPendingPrefetch();

    // The stream that batch loads read their records from (owned by the template manager).
    void SetOptimizedTemplateStream(FileReader* stream) { m_templateStream = stream; }
    FileReader* GetOptimizedTemplateStream() const { return m_templateStream; }

    // Under the lock only.
    ResourcePool* GetPool(uint32_t type) const { return type < kResourceTypeCount ? m_pools[type] : nullptr; }

    // The one lock of pools, reference counts, states, flags and the prefetch slot.
    static os::CriticalSection& GetLock();

protected:
    void HandleCommand(const uint8_t* record) override;
    // Streaming readers are topped up after every command the resource thread runs.
    void OnCommandDone() override;

private:
    void LoadQueued(Resource* resource);
    void LoadBatch(uint32_t count);
    void EvictResources(uint32_t poolMask, uint32_t filterMask, uint32_t filterValue);
    void ReadFileToMemory(uint8_t** out, const char* path);
    void PreloadResourceList(const char* path);
    void PreloadResources(const ResourceList& list);
    void PreloadResourceKind(uint32_t type, const DynarraySafe<ResourceEntry>& entries);
    // A list name "templates/<path>" (any case) loads the template of that path.
    void PreloadTemplate(const char* name);
    void RunPoolPass(uint32_t command, uint32_t poolMask, bool keep);
    void Shutdown();
    // Reads a string payload (u32 length, characters, terminator) into path; false when malformed.
    bool ReadPathPayload(char* path, uint32_t size);
    void PostCommandPayload(uint32_t command, const void* payload, uint32_t bytes);
    void PostPath(uint32_t command, const void* prefix, uint32_t prefixBytes, const char* name,
                  const char* extension, const char* folder);

    ResourcePool* m_pools[kResourceTypeCount] = {};
    std::atomic<bool> m_initialised{false};
    Resource* m_prefetch = nullptr; // under the lock
    FileReader* m_templateStream = nullptr;
    // The streaming readers this thread opens and fills (resource thread only).
    StreamingFileReaderList m_streamingReaders{*this};
};

extern ResourceManager* gResourceManager;
