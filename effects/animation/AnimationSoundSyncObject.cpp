#include "effects/animation/AnimationSoundSyncObject.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundParamWrapper.h"
#include "scene/entities/Entity.h"

#include <algorithm>

namespace
{
uint32_t Position(float progress)
{
    // NaN fails both comparisons of the clamp and would convert to garbage.
    if (!(progress > 0.0f))
        return 0;
    return uint32_t(std::min(progress, 1.0f) * 65536.0f);
}
} // namespace

AnimationSoundSyncObject::AnimationSoundSyncObject(Entity* entity)
{
    m_entity = entity;
}

AnimationSoundSyncObject::~AnimationSoundSyncObject() = default;

void AnimationSoundSyncObject::AddSoundEvent(float progress, const char* sound, float fullVolumeRange,
                                             float zeroVolumeRange, uint32_t channel)
{
    SoundEvent event;
    event.position = Position(progress);
    if (sound != nullptr && sound[0] != '\0')
        event.sound = NameString(sound);
    event.fullVolumeRange = fullVolumeRange;
    event.zeroVolumeRange = zeroVolumeRange;
    event.channel = channel;
    m_events.Add(event);
}

void AnimationSoundSyncObject::Clear()
{
    m_events.Clear();
}

void AnimationSoundSyncObject::Update(float progress, float volume, bool forward)
{
    const uint32_t p = Position(progress);
    Entity* const entity = m_entity.Get();
    if (forward && entity != nullptr)
    {
        // An animation held at the start reports 0 every pose: the event at 0 plays on the first
        // update only, not again on every pose that stays there.
        const bool wrapped = p < m_lastPosition;
        for (const SoundEvent& event : m_events)
        {
            const bool passed = wrapped ? event.position <= p
                                        : (!m_updated || event.position > m_lastPosition) && event.position <= p;
            if (passed)
                Play(event, volume, *entity);
        }
    }
    m_lastPosition = p;
    m_updated = true;
}

void AnimationSoundSyncObject::Play(const SoundEvent& event, float volume, Entity& entity) const
{
    if (event.sound.IsEmpty())
        return;
    SoundParamWrapper params;
    params.Volume = volume;
    params.FullVolumeRange = event.fullVolumeRange;
    params.ZeroVolumeRange = event.zeroVolumeRange;
    params.Channel = event.channel;
    if (event.fullVolumeRange > 0.0f)
        entity.PlaySound(event.sound.CStr(), &params);
    else if (gSoundEngine != nullptr)
        gSoundEngine->PlaySystemSound(event.sound.CStr(), &params);
}
