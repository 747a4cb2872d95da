#include "renderer/resources/SoundMemoryPool.h"

#include "engine/config/ProjectConfig.h"
#include "renderer/resources/ResourcePools.h"
#include "renderer/resources/ResourceSound.h"

SoundMemoryPool gSoundMemoryPool;

const char* SoundMemoryChunk::GetDescription() const
{
    return m_owner != nullptr ? m_owner->GetName() : nullptr;
}

ResourceSoundPool::ResourceSoundPool() : ResourcePool(RESOURCE_TYPE_SOUND)
{
    const uint64_t bytes = uint64_t(gProjectConfig.GetSoundPoolMB()) * 1048576u;
    gSoundMemoryPool.Init(bytes > 0xFFFFFFF0u ? 0xFFFFFFF0u : uint32_t(bytes), SoundMemoryPool::kAlignment, 0);
}

ResourceSoundPool::~ResourceSoundPool()
{
    // The sounds give their chunks back before the block goes; the base destructor then deletes them.
    for (int32_t i = 0; i < GetCount(); ++i)
        static_cast<ResourceSound*>(GetResource(i))->FreeSampleMemory();
    gSoundMemoryPool.Release();
}
