// AnimationSoundSyncObject (script class "AnimationSoundSyncObject"): sound events placed on an
// animation's progress. Scripts build the list and hand the object to animations through
// AnimationParams::SyncObject; each pose the playing animation reports its progress and the object
// plays every event passed since the last report, at its entity (3D) or as a 2D sound. Main thread
// only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/strings/NameString.h"

#include <cstdint>

class Entity;

// Sound events on an animation's progress.
class AnimationSoundSyncObject : public SafePointerRoot
{
public:
    // One event: its place (progress x 65536), the sound entry (empty: none) and how it sounds.
    struct SoundEvent
    {
        uint32_t position = 0;
        NameString sound;
        float fullVolumeRange = 0.0f;
        float zeroVolumeRange = 0.0f;
        uint32_t channel = 0;
    };

    // The entity that emits the sounds (may be null: the object then plays nothing).
    explicit AnimationSoundSyncObject(Entity* entity);
    ~AnimationSoundSyncObject() override;

    // Progress is clamped to [0, 1]; events keep the order they were added in.
    void AddSoundEvent(float progress, const char* sound, float fullVolumeRange, float zeroVolumeRange,
                       uint32_t channel);
    void Clear();
    // Called by the animation every pose: plays the events passed since the last call when going
    // forward (volume: the animation's weight); the position is kept in every case.
    virtual void Update(float progress, float volume, bool forward);

    const DynarraySafe<SoundEvent>& GetEvents() const { return m_events; }
    uint32_t GetLastPosition() const { return m_lastPosition; }

private:
    void Play(const SoundEvent& event, float volume, Entity& entity) const;

    SafePointer<Entity> m_entity;
    DynarraySafe<SoundEvent> m_events;
    uint32_t m_lastPosition = 0;
    // Whether Update ran: the event at the very start plays on the first update only.
    bool m_updated = false;
};
