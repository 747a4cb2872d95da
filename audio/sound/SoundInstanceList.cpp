#include "audio/sound/SoundInstanceList.h"

#include "audio/sound/SoundInstanceStatic.h"
#include "audio/sound/SoundInstanceStreamed.h"
#include "audio/sound/SoundInstanceZombie.h"
#include "core/console/GameConsole.h"
#include "core/memory/IndexPool.h"
#include "engine/profiler/Profiler.h"

#include <memory>

SoundInstanceList::SoundInstanceList() = default;

// The engine's close has destroyed the instances already, on the sound thread while their mixer
// still existed.
SoundInstanceList::~SoundInstanceList() = default;

void SoundInstanceList::Unlink(SoundInstanceBase* instance)
{
    if (instance->m_previous != nullptr)
        instance->m_previous->m_next = instance->m_next;
    else
        m_first = instance->m_next;
    if (instance->m_next != nullptr)
        instance->m_next->m_previous = instance->m_previous;
    else
        m_last = instance->m_previous;
    instance->m_previous = instance->m_next = nullptr;
    --m_count;
}

SoundInstanceBase* SoundInstanceList::CreateStatic(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                                   const SoundParamWrapper& params)
{
    SoundInstanceBase* instance = new SoundInstanceStatic(emitter, name, id, params);
    Link(instance);
    return instance;
}

SoundInstanceBase* SoundInstanceList::CreateStreamed(EntitySoundEmitter* emitter, const char* name, uint32_t id,
                                                     const SoundParamWrapper& params)
{
    SoundInstanceBase* instance = new SoundInstanceStreamed(emitter, name, id, params);
    Link(instance);
    return instance;
}

SoundInstanceBase* SoundInstanceList::CreateZombie(uint32_t kind, const SoundInstanceBase& source)
{
    SoundInstanceBase* instance = new SoundInstanceZombie(kind, source);
    Link(instance);
    return instance;
}

void SoundInstanceList::Link(SoundInstanceBase* instance)
{
    instance->m_previous = m_last;
    instance->m_next = nullptr;
    if (m_last != nullptr)
        m_last->m_next = instance;
    else
        m_first = instance;
    m_last = instance;
    ++m_count;
}

void SoundInstanceList::Destroy(SoundInstanceBase* instance)
{
    instance->StopVoice();
    Unlink(instance);
    delete instance;
}

void SoundInstanceList::DestroyAll()
{
    while (m_first != nullptr)
        Destroy(m_first);
}

void SoundInstanceList::DestroyWithFlags(uint32_t flags)
{
    for (SoundInstanceBase* instance = m_first; instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        if ((instance->GetParams().Flags & flags) == flags)
            Destroy(instance);
        instance = next;
    }
}

void SoundInstanceList::DetachEmitter(const EntitySoundEmitter* emitter, float fadeSeconds)
{
    for (SoundInstanceBase* instance = m_first; instance != nullptr;)
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

void SoundInstanceList::UpdateAll()
{
    uint32_t zombies = 0;
    for (SoundInstanceBase* instance = m_first; instance != nullptr;)
    {
        SoundInstanceBase* next = instance->m_next;
        zombies += instance->IsZombie() ? 1 : 0;
        const bool keep = instance->Update() &&
                          (!instance->IsStopping() || instance->GetVolumeTransition().IsActive());
        if (!keep)
            Destroy(instance);
        instance = next;
    }
    m_zombieCount = zombies;
    gProfiler.SetValue(PROFILER_SOUND_INSTANCES, float(m_count - zombies), kProfilerCallerOtherThread);
    gProfiler.SetValue(PROFILER_ZOMBIE_SOUND_INSTANCES, float(zombies), kProfilerCallerOtherThread);
}

void SoundInstanceList::CreateDecodePool(uint32_t count)
{
    m_decodePool = std::make_unique<IndexPool>(kDecodeBufferBytes, count);
}

void SoundInstanceList::FreeDecodePool()
{
    m_decodePool.reset();
}

uint8_t* SoundInstanceList::AllocateDecodeBuffer()
{
    void* buffer = m_decodePool ? m_decodePool->Allocate() : nullptr;
    if (buffer == nullptr)
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unable to allocate decode buffer. The reason for this is you've allocated "
                                              "too many of them :) sorry...");
    return static_cast<uint8_t*>(buffer);
}

void SoundInstanceList::FreeDecodeBuffer(uint8_t* buffer)
{
    if (m_decodePool)
        m_decodePool->Free(buffer);
}
