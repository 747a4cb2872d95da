#include "audio/sound/SoundInstanceList.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceStatic.h"
#include "audio/sound/SoundInstanceStreamed.h"
#include "audio/sound/SoundInstanceZombie.h"
#include "core/console/GameConsole.h"
#include "core/memory/IndexPool.h"

#include <memory>

namespace
{
SoundInstanceBase* gFirst = nullptr;
SoundInstanceBase* gLast = nullptr;
uint32_t gCount = 0;
uint32_t gZombieCount = 0;
uint32_t gStreamedCount = 0;
uint32_t gMusicStreamCount = 0;
uint32_t gDecodedBytes = 0;
std::unique_ptr<IndexPool> gDecodePool;

void Unlink(SoundInstanceBase* instance)
{
    if (instance->m_previous != nullptr)
        instance->m_previous->m_next = instance->m_next;
    else
        gFirst = instance->m_next;
    if (instance->m_next != nullptr)
        instance->m_next->m_previous = instance->m_previous;
    else
        gLast = instance->m_previous;
    instance->m_previous = instance->m_next = nullptr;
    --gCount;
}
} // namespace

namespace SoundInstances
{
SoundInstanceBase* CreateStatic(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                const SoundParamWrapper& params)
{
    SoundInstanceBase* instance = new SoundInstanceStatic(emitter, name, id, params);
    Link(instance);
    return instance;
}

SoundInstanceBase* CreateStreamed(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                  const SoundParamWrapper& params)
{
    SoundInstanceBase* instance = new SoundInstanceStreamed(emitter, name, id, params);
    Link(instance);
    return instance;
}

SoundInstanceBase* CreateZombie(uint32_t kind, const SoundInstanceBase& source)
{
    SoundInstanceBase* instance = new SoundInstanceZombie(kind, source);
    Link(instance);
    return instance;
}

void Link(SoundInstanceBase* instance)
{
    instance->m_previous = gLast;
    instance->m_next = nullptr;
    if (gLast != nullptr)
        gLast->m_next = instance;
    else
        gFirst = instance;
    gLast = instance;
    ++gCount;
}

void Destroy(SoundInstanceBase* instance)
{
    instance->StopVoice();
    Unlink(instance);
    delete instance;
}

void DestroyAll()
{
    while (gFirst != nullptr)
        Destroy(gFirst);
}

void DestroyWithFlags(uint32_t flags)
{
    for (SoundInstanceBase* instance = gFirst; instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        if ((instance->GetParams().Flags & flags) == flags)
            Destroy(instance);
        instance = next;
    }
}

void DetachEmitter(const EntitySoundEmitter* emitter, float fadeSeconds)
{
    for (SoundInstanceBase* instance = gFirst; instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        if (emitter != nullptr && instance->GetEmitter() == emitter)
        {
            if (!(fadeSeconds > 0.0f))
                Destroy(instance);
            else
            {
                instance->ClearEmitter();
                if ((instance->GetParams().Flags & SOUNDSTARTFLAG_OUTLIVEEMITTER) == 0)
                {
                    if (instance->IsZombie())
                        Destroy(instance);
                    else
                        instance->FadeOut(fadeSeconds);
                }
            }
        }
        instance = next;
    }
}

void UpdateAll()
{
    uint32_t zombies = 0;
    for (SoundInstanceBase* instance = gFirst; instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        zombies += instance->IsZombie() ? 1 : 0;
        const bool keep = instance->Update() &&
                          (!instance->IsStopping() || instance->GetVolumeTransition().IsActive());
        if (!keep)
            Destroy(instance);
        instance = next;
    }
    gZombieCount = zombies;
}

SoundInstanceBase* GetFirst()
{
    return gFirst;
}

uint32_t GetCount()
{
    return gCount;
}

uint32_t GetZombieCount()
{
    return gZombieCount;
}

uint32_t& StreamedCount()
{
    return gStreamedCount;
}

uint32_t& MusicStreamCount()
{
    return gMusicStreamCount;
}

uint32_t GetDecodedBytes()
{
    return gDecodedBytes;
}

void AddDecodedBytes(uint32_t bytes)
{
    gDecodedBytes += bytes;
}

void CreateDecodePool(uint32_t count)
{
    gDecodePool = std::make_unique<IndexPool>(kDecodeBufferBytes, count);
}

void FreeDecodePool()
{
    gDecodePool.reset();
}

uint8_t* AllocateDecodeBuffer()
{
    void* buffer = gDecodePool ? gDecodePool->Allocate() : nullptr;
    if (buffer == nullptr)
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to allocate decode buffer. The reason for this is you've allocated "
                                         "too many of them :) sorry...");
    return static_cast<uint8_t*>(buffer);
}

void FreeDecodeBuffer(uint8_t* buffer)
{
    if (gDecodePool)
        gDecodePool->Free(buffer);
}
} // namespace SoundInstances
