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
    if (m_spatial->soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->StopSound(id, fadeSeconds, m_spatial->soundEmitter);
}

void Entity::StopAllSounds(float fadeSeconds)
{
    StopSound(kAllSoundInstances, fadeSeconds);
}

void Entity::ExitLoop(uint32_t id)
{
    if (m_spatial->soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->ExitLoop(id, m_spatial->soundEmitter);
}

void Entity::PauseSound(uint32_t id, float fadeSeconds, int32_t channel)
{
    if (m_spatial->soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->PauseSound(id, fadeSeconds, m_spatial->soundEmitter, channel);
}

void Entity::ResumeSound(uint32_t id, float fadeSeconds, int32_t channel)
{
    if (m_spatial->soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->ResumeSound(id, fadeSeconds, m_spatial->soundEmitter, channel);
}

void Entity::SetVolume(float volume, float fadeSeconds, uint32_t easing, uint32_t id)
{
    if (m_spatial->soundEmitter != nullptr && gSoundEngine != nullptr)
        gSoundEngine->SetVolume(id, volume, fadeSeconds, easing, m_spatial->soundEmitter);
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
    if (m_spatial->soundEmitter == nullptr)
        m_spatial->soundEmitter = new EntitySoundEmitter(m_spatial->world);
    return m_spatial->soundEmitter;
}

void Entity::UpdateSoundEmitterTransform()
{
    if (m_spatial->soundEmitter != nullptr)
        m_spatial->soundEmitter->PostSetMatrix(m_spatial->world);
}

void Entity::ReleaseSoundEmitter()
{
    if (m_spatial->soundEmitter == nullptr)
        return;
    m_spatial->soundEmitter->PostDestroy();
    m_spatial->soundEmitter = nullptr;
}
