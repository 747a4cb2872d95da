// Entity's sound methods: the entity's own sounds go through its emitter, which the sound thread
// owns once made. Main thread.
#include "scene/entities/Entity.h"

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"

uint32_t Entity::PlaySound(const char* name, const SoundParamWrapper* params)
{
    return GetSoundEmitter()->PostPlay(name, params);
}

void Entity::StopSound(uint32_t id, float fadeSeconds)
{
    if (m_soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->StopSound(id, fadeSeconds, m_soundEmitter);
}

void Entity::StopAllSounds(float fadeSeconds)
{
    StopSound(kAllSoundInstances, fadeSeconds);
}

void Entity::ExitLoop(uint32_t id)
{
    if (m_soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->ExitLoop(id, m_soundEmitter);
}

void Entity::PauseSound(uint32_t id, float fadeSeconds, int32_t channel)
{
    if (m_soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->PauseSound(id, fadeSeconds, m_soundEmitter, channel);
}

void Entity::ResumeSound(uint32_t id, float fadeSeconds, int32_t channel)
{
    if (m_soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->ResumeSound(id, fadeSeconds, m_soundEmitter, channel);
}

void Entity::SetVolume(float volume, float fadeSeconds, uint32_t easing, uint32_t id)
{
    if (m_soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->SetVolume(id, volume, fadeSeconds, easing, m_soundEmitter);
}

void Entity::SetVelocityForDopplerEffect(const Vector& velocity)
{
    GetSoundEmitter()->PostSetVelocity(velocity);
}

void Entity::SetSoundAltitudeOverride(float altitude)
{
    GetSoundEmitter()->PostSetAltitudeOverride(altitude);
}

EntitySoundEmitter* Entity::GetSoundEmitter()
{
    if (m_soundEmitter == nullptr)
        SetSoundEmitter(new EntitySoundEmitter(m_spatial->world));
    return m_soundEmitter;
}

void Entity::UpdateSoundEmitterTransform()
{
    if (m_soundEmitter != nullptr)
        m_soundEmitter->PostSetMatrix(m_spatial->world);
}

void Entity::ReleaseSoundEmitter()
{
    if (m_soundEmitter == nullptr)
        return;
    m_soundEmitter->PostDestroy();
    SetSoundEmitter(nullptr);
}

void Entity::SetSoundEmitter(EntitySoundEmitter* emitter)
{
    m_soundEmitter = emitter;
    SetMoveListener(EntitySpatialRecord::kSoundListener, emitter != nullptr);
}
