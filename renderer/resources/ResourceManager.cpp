#include "renderer/resources/ResourceManager.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/StreamingFileReader.h"
#include "core/strings/StringUtils.h"
#include "engine/profiler/Profiler.h"
#include "platform/os/Clock.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceList.h"
#include "renderer/resources/ResourcePools.h"
#include "renderer/resources/ResourceRendererLink.h"
#include "renderer/resources/SoundMemoryPool.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

ResourceManager* gResourceManager = nullptr;

namespace
{
constexpr uint32_t kRingBytes = 65536;
constexpr uint32_t kSubclassWord = 4194304;
// Batch loads are split so that every command fits the ring.
constexpr uint32_t kMaxBatchEntries = 1024;
constexpr size_t kShaderNameCapacity = 260;

void LogSkippedLoad(const Resource& resource)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE,
                    "Resource load request skipped. The resource have already been loaded in between (%s)",
                    resource.GetDisplayName());
}

// Claims the load of a resource for the calling thread; false when it is loaded or being loaded.
bool ClaimLoad(Resource& resource, bool& claimedFlag)
{
    os::ScopedLock lock(ResourceManager::GetLock());
    if (resource.GetState() == RESOURCE_STATE_DONE || claimedFlag)
        return false;
    claimedFlag = true;
    return true;
}

double SecondsSince(int64_t start)
{
    return double(os::QueryCounter() - start) / double(os::kCounterFrequency);
}
} // namespace

os::CriticalSection& ResourceManager::GetLock()
{
    static os::CriticalSection lock;
    return lock;
}

ResourceManager::ResourceManager()
    : BaseThread("ResourceManager", kRingBytes, true, os::kInfinite, kSubclassWord)
{
    gResourceManager = this;
}

ResourceManager::~ResourceManager()
{
    Stop();
    // Gone without a close: the streaming readers must not go on naming this thread.
    if (StreamingFileReader::GetFillingThread() == this)
        StreamingFileReader::SetFillingThread(nullptr);
    {
        os::ScopedLock lock(GetLock());
        if (m_prefetch != nullptr)
            m_prefetch->m_references.fetch_sub(1, std::memory_order_relaxed);
        m_prefetch = nullptr;
        for (int type = kResourceTypeCount - 1; type >= 0; --type)
        {
            delete m_pools[type];
            m_pools[type] = nullptr;
        }
    }
    if (gResourceManager == this)
        gResourceManager = nullptr;
}

bool ResourceManager::Init()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "ResourceManager::Init");
    // Class tables are built here, not on the resource thread.
    ResourceList::StaticClassProperties();
    {
        os::ScopedLock lock(GetLock());
        if (!IsInitialised())
        {
            m_pools[RESOURCE_TYPE_TEXTURE] = new ResourceTexturePool;
            m_pools[RESOURCE_TYPE_SHADER] = new ResourceShaderPool;
            m_pools[RESOURCE_TYPE_ANIMATION] = new ResourceAnimationPool;
            m_pools[RESOURCE_TYPE_FONT] = new ResourceFontPool;
            m_pools[RESOURCE_TYPE_TEMPLATE] = new ResourceTemplatePool;
            m_pools[RESOURCE_TYPE_SOUND] = new ResourceSoundPool;
            m_initialised.store(true, std::memory_order_release);
        }
    }
    // The resource thread opens, fills and closes every streaming reader.
    StreamingFileReader::SetFillingThread(&m_streamingReaders);
    return Start();
}

void ResourceManager::Close()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "ResourceManager closing...");
    if (IsInitialised())
    {
        PostCommand(RESOURCE_POOL_ALL_BUT_SHADERS, 0, 0);
        if (BeginCommand(RESOURCE_COMMAND_SHUTDOWN, 0))
            EndCommand();
        Flush();
        m_initialised.store(false, std::memory_order_release);
    }
    Stop();
    if (StreamingFileReader::GetFillingThread() == this)
        StreamingFileReader::SetFillingThread(nullptr);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "ResourceManager closed");
}

Resource* ResourceManager::GetResource(uint32_t type, const char* name, uint32_t parameter, bool create,
                                       uint32_t flags)
{
    if (name == nullptr || name[0] == 0 || type >= kResourceTypeCount)
        return nullptr;
    os::ScopedLock lock(GetLock());
    ResourcePool* pool = m_pools[type];
    return pool != nullptr ? pool->FindOrCreate(name, parameter, create, flags) : nullptr;
}

void ResourceManager::SetResourceFlags(Resource* resource, uint32_t flags)
{
    if (resource == nullptr)
        return;
    os::ScopedLock lock(GetLock());
    resource->m_flags.fetch_or(flags, std::memory_order_relaxed);
}

void ResourceManager::MarkResources(uint32_t poolMask, uint32_t value)
{
    os::ScopedLock lock(GetLock());
    for (uint32_t type = 0; type < kResourceTypeCount; ++type)
        if ((poolMask & (1u << type)) != 0 && m_pools[type] != nullptr)
            m_pools[type]->MarkAll(value);
}

void ResourceManager::QueueLoad(Resource* resource)
{
    {
        os::ScopedLock lock(GetLock());
        if (resource->GetState() != RESOURCE_STATE_NOT_LOADED)
            return;
        resource->m_references.fetch_add(1, std::memory_order_relaxed);
        resource->m_state.store(RESOURCE_STATE_LOADING, std::memory_order_release);
    }
    // 64-bit: the payload carries a full pointer.
    PostCommandPayload(RESOURCE_COMMAND_LOAD, &resource, sizeof(resource));
}

void ResourceManager::QueueLoadBatch(Resource* const* resources, uint32_t count)
{
    for (uint32_t first = 0; first < count; first += kMaxBatchEntries)
    {
        const uint32_t n = std::min(kMaxBatchEntries, count - first);
        Resource* queued[kMaxBatchEntries];
        {
            os::ScopedLock lock(GetLock());
            for (uint32_t i = 0; i < n; ++i)
            {
                Resource* resource = resources[first + i];
                // Loaded, queued or loading resources travel as null: their records are skipped.
                const bool unloaded = resource != nullptr && resource->GetState() == RESOURCE_STATE_NOT_LOADED;
                queued[i] = unloaded ? resource : nullptr;
                if (unloaded)
                {
                    resource->m_references.fetch_add(1, std::memory_order_relaxed);
                    resource->m_state.store(RESOURCE_STATE_LOADING, std::memory_order_release);
                }
            }
        }
        // 64-bit: the pointers are full width.
        if (!BeginCommand(RESOURCE_COMMAND_LOAD_BATCH, uint32_t(sizeof(uint32_t) + n * sizeof(Resource*))))
            continue;
        GetRing().Write(&n, sizeof(n));
        GetRing().Write(queued, uint32_t(n * sizeof(Resource*)));
        EndCommand();
    }
}

void ResourceManager::LoadResource(Resource* resource)
{
    // Loads run on the resource thread and on any thread that loads blocking: timed per thread.
    gProfiler.StartTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
    const int64_t start = os::QueryCounter();
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Loading %s resource: %s", Resource::GetTypeName(resource->GetType()),
                    resource->GetDisplayName());
    const bool loaded = resource->DoLoad();
    if (loaded)
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Resource loaded successfully (%s) in %f seconds",
                        resource->GetDisplayName(), SecondsSince(start));
    else
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Resource loading failed (%s)", resource->GetDisplayName());

    {
        os::ScopedLock lock(GetLock());
        resource->m_loadClaimed = true;
        resource->m_failed.store(!loaded, std::memory_order_release);
        resource->m_state.store(RESOURCE_STATE_DONE, std::memory_order_release);
    }
    gProfiler.StopTimer(PROFILER_RESOURCE_LOADING, kProfilerCallerOtherThread);
}

void ResourceManager::PostCommandPayload(uint32_t command, const void* payload, uint32_t bytes)
{
    if (!BeginCommand(command, bytes))
        return;
    GetRing().Write(payload, bytes);
    EndCommand();
}

void ResourceManager::PostCommand(uint32_t poolMask, uint32_t filterMask, uint32_t filterValue)
{
    const uint32_t payload[3] = {poolMask, filterMask, filterValue};
    PostCommandPayload(RESOURCE_COMMAND_EVICT, payload, sizeof(payload));
}

void ResourceManager::PostPath(uint32_t command, const void* prefix, uint32_t prefixBytes, const char* name,
                               const char* extension, const char* folder)
{
    char path[kMaxPath];
    BuildPath(path, sizeof(path), name, extension, folder);
    const uint32_t length = uint32_t(std::strlen(path));
    if (length == 0)
        return;
    if (!BeginCommand(command, prefixBytes + uint32_t(sizeof(length)) + length + 1))
        return;
    GetRing().Write(prefix, prefixBytes);
    GetRing().Write(&length, sizeof(length));
    GetRing().Write(path, length + 1);
    EndCommand();
}

void ResourceManager::PostReadFile(uint8_t** out, const char* name, const char* extension, const char* folder)
{
    // 64-bit: the out slot travels as a full pointer.
    PostPath(RESOURCE_COMMAND_READ_FILE, &out, sizeof(out), name, extension, folder);
}

void ResourceManager::PostPreloadResourceList(const char* name, const char* extension, const char* folder)
{
    PostPath(RESOURCE_COMMAND_PRELOAD_LIST, nullptr, 0, name, extension, folder);
}

void ResourceManager::PostReloadResources(uint32_t poolMask, bool wait)
{
    SubmitRendererCommands(true);
    PostCommandPayload(RESOURCE_COMMAND_RELOAD, &poolMask, sizeof(poolMask));
    if (wait)
        Flush();
}

void ResourceManager::PostDumpResources(uint32_t poolMask, bool wait)
{
    SubmitRendererCommands(true);
    PostCommandPayload(RESOURCE_COMMAND_DUMP, &poolMask, sizeof(poolMask));
    if (wait)
        Flush();
}

void ResourceManager::PostUnloadResourceData(uint32_t poolMask, bool keep)
{
    SubmitRendererCommands(true);
    if (!BeginCommand(RESOURCE_COMMAND_UNLOAD_DATA, sizeof(poolMask) + 1))
        return;
    const uint8_t keepByte = keep ? 1 : 0;
    GetRing().Write(&poolMask, sizeof(poolMask));
    GetRing().Write(&keepByte, 1);
    EndCommand();
}

void ResourceManager::PostDumpSoundMemory()
{
    if (BeginCommand(RESOURCE_COMMAND_DUMP_SOUND_MEMORY, 0))
        EndCommand();
}

void ResourceManager::PostRefreshResources(uint32_t poolMask)
{
    SubmitRendererCommands(true);
    PostCommandPayload(RESOURCE_COMMAND_REFRESH, &poolMask, sizeof(poolMask));
    Flush();
    SubmitRendererCommands(true);
}

void ResourceManager::SetPrefetchResource(Resource* resource)
{
    os::ScopedLock lock(GetLock());
    if (m_prefetch != nullptr)
        m_prefetch->m_references.fetch_sub(1, std::memory_order_relaxed);
    m_prefetch = resource;
    if (resource != nullptr)
        resource->m_references.fetch_add(1, std::memory_order_relaxed);
}

void ResourceManager::StartPendingPrefetch()
{
    Resource* resource;
    {
        os::ScopedLock lock(GetLock());
        resource = m_prefetch;
        m_prefetch = nullptr;
    }
    if (resource == nullptr)
        return;
    if (resource->GetState() != RESOURCE_STATE_DONE)
        resource->Prefetch();
    resource->Release();
}

void ResourceManager::OnCommandDone()
{
    m_streamingReaders.PumpAll(false);
}

void ResourceManager::HandleCommand(const uint8_t* record)
{
    (void)record;
    CommandRingBuffer& ring = GetRing();
    const uint32_t size = ring.GetReadPayloadSize();
    switch (ring.GetReadId())
    {
    case RESOURCE_COMMAND_LOAD:
    {
        Resource* resource = nullptr;
        if (ring.Read(&resource, sizeof(resource)) && resource != nullptr)
            LoadQueued(resource);
        break;
    }
    case RESOURCE_COMMAND_LOAD_BATCH:
    {
        uint32_t count = 0;
        if (ring.Read(&count, sizeof(count)))
            LoadBatch(count);
        break;
    }
    case RESOURCE_COMMAND_EVICT:
    {
        uint32_t payload[3];
        if (ring.Read(payload, sizeof(payload)))
            EvictResources(payload[0], payload[1], payload[2]);
        break;
    }
    case RESOURCE_COMMAND_READ_FILE:
    {
        uint8_t** out = nullptr;
        char path[kMaxPath];
        if (ring.Read(&out, sizeof(out)) && ReadPathPayload(path, size - uint32_t(sizeof(out))))
            ReadFileToMemory(out, path);
        break;
    }
    case RESOURCE_COMMAND_PRELOAD_LIST:
    {
        char path[kMaxPath];
        if (ReadPathPayload(path, size))
            PreloadResourceList(path);
        break;
    }
    case RESOURCE_COMMAND_RELOAD:
    case RESOURCE_COMMAND_DUMP:
    case RESOURCE_COMMAND_REFRESH:
    {
        uint32_t poolMask = 0;
        if (ring.Read(&poolMask, sizeof(poolMask)))
            RunPoolPass(ring.GetReadId(), poolMask, false);
        break;
    }
    case RESOURCE_COMMAND_UNLOAD_DATA:
    {
        uint32_t poolMask = 0;
        uint8_t keep = 0;
        if (ring.Read(&poolMask, sizeof(poolMask)) && ring.Read(&keep, 1))
            RunPoolPass(RESOURCE_COMMAND_UNLOAD_DATA, poolMask, keep != 0);
        break;
    }
    case RESOURCE_COMMAND_DUMP_SOUND_MEMORY:
        gSoundMemoryPool.Dump();
        break;
    case RESOURCE_COMMAND_SHUTDOWN:
        Shutdown();
        break;
    default:
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Unknown resource manager command %u", ring.GetReadId());
        break;
    }
}

bool ResourceManager::ReadPathPayload(char* path, uint32_t size)
{
    CommandRingBuffer& ring = GetRing();
    uint32_t length = 0;
    if (size < sizeof(length) + 1 || !ring.Read(&length, sizeof(length)) || length >= kMaxPath ||
        length + 1 != size - sizeof(length) || !ring.Read(path, length + 1))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Malformed path in a resource manager command");
        return false;
    }
    path[length] = 0;
    return true;
}

void ResourceManager::LoadQueued(Resource* resource)
{
    if (ClaimLoad(*resource, resource->m_loadClaimed))
        LoadResource(resource);
    else
        LogSkippedLoad(*resource);
    resource->Release();
}

void ResourceManager::LoadBatch(uint32_t count)
{
    CommandRingBuffer& ring = GetRing();
    FileReader* stream = m_templateStream;
    bool streamFailed = false;
    for (uint32_t i = 0; i < count; ++i)
    {
        Resource* resource = nullptr;
        if (!ring.Read(&resource, sizeof(resource)))
            break;
        uint32_t bytes = 0;
        if (!streamFailed && (stream == nullptr || !stream->ReadU32(bytes)))
        {
            gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Cannot read the optimized templates stream");
            streamFailed = true;
            bytes = 0;
        }
        const uint32_t end = stream != nullptr ? stream->GetPosition() + bytes : 0;
        if (resource != nullptr && ClaimLoad(*resource, resource->m_loadClaimed))
        {
            LoadResource(resource);
        }
        else if (resource != nullptr)
        {
            LogSkippedLoad(*resource);
        }
        // Whatever the loader consumed, the next record starts after this one's bytes.
        if (stream != nullptr && !streamFailed)
        {
            const uint32_t position = stream->GetPosition();
            if (position > end)
                gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Template record of %s read past its end",
                               resource != nullptr ? resource->GetDisplayName() : "");
            else if (position < end && !stream->Skip(end - position))
                streamFailed = true;
        }
        if (resource != nullptr)
            resource->Release();
    }
}

void ResourceManager::EvictResources(uint32_t poolMask, uint32_t filterMask, uint32_t filterValue)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Evicting resources");
    int32_t total = 0;
    for (;;)
    {
        Dynarray<Resource*> collected;
        {
            os::ScopedLock lock(GetLock());
            for (int type = kResourceTypeCount - 1; type >= 0; --type)
                if ((poolMask & (1u << type)) != 0 && m_pools[type] != nullptr)
                    m_pools[type]->CollectUnused(filterMask, filterValue, collected);
        }
        if (collected.IsEmpty())
            break;
        for (Resource* resource : collected)
            delete resource;
        total += collected.Count();
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Evicted %d resources", total);
}

void ResourceManager::ReadFileToMemory(uint8_t** out, const char* path)
{
    FileReader reader(path, nullptr, nullptr, 0);
    if (!reader.IsOpen())
        return;
    const uint32_t size = reader.GetSize();
    // An empty file exists all the same: an empty scene file is a damaged scene, not a missing one.
    uint8_t* buffer = new uint8_t[std::max<uint32_t>(size, 1)];
    if (size != 0 && !reader.Read(buffer, size))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Cannot read %s", path);
        delete[] buffer;
        return;
    }
    *out = buffer;
}

void ResourceManager::PreloadResourceList(const char* path)
{
    FileReader reader(path, nullptr, nullptr, 0);
    if (!reader.IsOpen())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot preload resource list from %s", path);
    }
    else
    {
        ResourceList list;
        if (list.SolidDeserializeFromFileReader(reader, 0))
            PreloadResources(list);
        else
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot preload resource list from %s", path);
    }
    SetPrefetchResource(nullptr);
}

void ResourceManager::PreloadResources(const ResourceList& list)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "PreloadResources begin");
    const int64_t start = os::QueryCounter();
    PreloadResourceKind(RESOURCE_TYPE_SHADER, list.m_shaders);
    PreloadResourceKind(RESOURCE_TYPE_TEXTURE, list.m_textures);
    PreloadResourceKind(RESOURCE_TYPE_ANIMATION, list.m_animations);
    PreloadResourceKind(RESOURCE_TYPE_SOUND, list.m_sounds);
    PreloadResourceKind(RESOURCE_TYPE_TEMPLATE, list.m_templates);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "PreloadResources end. Time: %f", SecondsSince(start));
}

void ResourceManager::PreloadResourceKind(uint32_t type, const DynarraySafe<ResourceEntry>& entries)
{
    const int32_t count = entries.Count();
    if (type == RESOURCE_TYPE_TEMPLATE)
    {
        for (int32_t i = 0; i < count; ++i)
            PreloadTemplate(entries[i].m_name.CStr());
        return;
    }
    for (int32_t i = 0; i < count; ++i)
    {
        const ResourceEntry& entry = entries[i];
        char shaderName[kShaderNameCapacity];
        const char* name = entry.m_name.CStr();
        // A list recorded on another device names the depth variants of that device.
        if (type == RESOURCE_TYPE_SHADER)
        {
            std::snprintf(shaderName, sizeof(shaderName), "%s", name);
            gShaderManager.AdjustDepthOptionBits(shaderName);
            name = shaderName;
        }
        Resource* resource = GetResource(type, name, entry.m_parameter, true, entry.m_flags);
        if (resource == nullptr)
            continue;
        if (type != RESOURCE_TYPE_SHADER && i + 1 < count)
        {
            const ResourceEntry& next = entries[i + 1];
            Resource* ahead = GetResource(type, next.m_name.CStr(), next.m_parameter, true, next.m_flags);
            if (ahead != nullptr)
            {
                SetPrefetchResource(ahead);
                ahead->Release();
            }
        }
        resource->Load(false);
        resource->Release();
    }
}

// Templates come through their stubs, so each binds to the stub the scene will ask. Their bodies
// load here, inline, like every other kind of the list: queueing them on this thread's own ring
// could wait on itself once the ring is full.
void ResourceManager::PreloadTemplate(const char* name)
{
    constexpr size_t kFolderLength = sizeof("templates/") - 1;
    if (name == nullptr || std::strlen(name) <= kFolderLength)
        return;
    char folder[kFolderLength + 1];
    std::memcpy(folder, name, kFolderLength);
    folder[kFolderLength] = 0;
    if (StrICmp(folder, "templates/") != 0)
        return;
    if (EntityTemplate* entityTemplate = gTemplateManager.GetTemplateLocked(name + kFolderLength, true))
        entityTemplate->Resource::Release();
}

void ResourceManager::RunPoolPass(uint32_t command, uint32_t poolMask, bool keep)
{
    os::ScopedLock lock(GetLock());
    for (uint32_t type = 0; type < kResourceTypeCount; ++type)
    {
        ResourcePool* pool = m_pools[type];
        if ((poolMask & (1u << type)) == 0 || pool == nullptr)
            continue;
        if (command == RESOURCE_COMMAND_RELOAD)
            pool->ReloadAll();
        else if (command == RESOURCE_COMMAND_DUMP)
            pool->Dump();
        else if (command == RESOURCE_COMMAND_UNLOAD_DATA)
            pool->UnloadData(keep);
        else
            pool->RefreshAll();
    }
}

void ResourceManager::Shutdown()
{
    // A prefetch still pending holds a count on a resource the pools are about to delete.
    SetPrefetchResource(nullptr);
    EvictResources(RESOURCE_POOL_ALL, 0, 0);
    os::ScopedLock lock(GetLock());
    if (!IsInitialised())
        return;
    m_initialised.store(false, std::memory_order_release);
    for (int type = kResourceTypeCount - 1; type >= 0; --type)
    {
        delete m_pools[type];
        m_pools[type] = nullptr;
    }
}
