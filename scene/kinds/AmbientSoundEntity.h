// AmbientSoundEntity: a compound entity that plays its template's sound entry from its position,
// once when the entry loops, or again and again after random delays when it does not. The next
// play is the entity's numbered callback 6 on the game timer, so it dies with the entity and
// pauses with the game. Main thread only.
#pragma once

#include "scene/kinds/CompoundEntity.h"

// Compound entity playing a sound entry on a random schedule.
class AmbientSoundEntity : public CompoundEntity
{
    RTTI_DECLARE_CLASS(AmbientSoundEntity, CompoundEntity)

public:
    // The numbered callback of the next play.
    static constexpr uint32_t kPlayCallback = 6;
    // How long the entity's sounds take to fade out when it stops.
    static constexpr float kStopFadeSeconds = 0.3f;

    // Script-bound. Nothing while playing; otherwise plays the entry at once when asked and
    // schedules the next play, unless the entry just started looping.
    void Start(bool playNow);
    // Script-bound. Cancels the pending play and fades out every sound of the entity.
    void Stop();
    bool IsPlaying() const { return m_playing != 0; }
    bool IsActiveAtStart() const { return m_activeAtStart; }

    // The compound behaviour, then playing starts (first play after a random delay) with
    // "ActiveAtStart".
    void PostCreateInit() override;
    // Code 6 plays the entry and schedules the next play; other codes are the Entity's.
    void RequestDelete(uint32_t code) override;
    // The scheduler's road to the same play callback.
    void OnScheduledCallback(uint32_t id) override;

private:
    // The template's entry name, or "" (never an entry) without an ambient sound template.
    const char* GetSoundEntryName() const;
    void PlayFromCallback();
    // Callback 6 after the entry's delay plus a random share of its variance; nothing for an
    // unknown entry.
    void ScheduleNextPlay();

    bool m_activeAtStart = true;
    uint8_t m_playing = 0;
};
