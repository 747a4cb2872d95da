#include "scene/kinds/AmbientSoundEntity.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "core/math/RandomGenerator.h"
#include "scene/kinds/AmbientSoundTemplate.h"

namespace
{
// A linear draw is 16 bits; this scales it to [0, 1).
constexpr float kDrawScale = 1.0f / 65536.0f;
// Flags of the play callback: the game timer's scheduler.
constexpr uint32_t kGameTimer = 0;
} // namespace

RTTI_DEFINE_CLASS_TABLE(AmbientSoundEntity, CompoundEntity)

void AmbientSoundEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<AmbientSoundEntity, bool>("ActiveAtStart", &AmbientSoundEntity::m_activeAtStart));
}

const char* AmbientSoundEntity::GetSoundEntryName() const
{
    const AmbientSoundTemplate* const ambient = dynamic_cast<const AmbientSoundTemplate*>(GetTemplate());
    return ambient != nullptr ? ambient->GetSoundEntry().CStr() : "";
}

void AmbientSoundEntity::Start(bool playNow)
{
    if (m_playing != 0)
        return;
    m_playing = 1;
    const char* const entry = GetSoundEntryName();
    if (playNow)
        gSoundEntriesContainer.PlaySoundEntry(entry, this, 0, 0.0f, 1.0f);
    // A looping entry that just started keeps sounding until stopped.
    if (!playNow || !gSoundEntriesContainer.IsSoundEntryLooped(entry))
        ScheduleNextPlay();
}

void AmbientSoundEntity::Stop()
{
    if (m_playing == 0)
        return;
    m_playing = 0;
    DeleteCallbacks(kPlayCallback);
    StopSound(kAllSoundInstances, kStopFadeSeconds);
}

void AmbientSoundEntity::PostCreateInit()
{
    CompoundEntity::PostCreateInit();
    if (m_activeAtStart && m_playing == 0)
    {
        m_playing = 1;
        ScheduleNextPlay();
    }
}

void AmbientSoundEntity::RequestDelete(uint32_t code)
{
    if (code == kPlayCallback)
        PlayFromCallback();
    else
        CompoundEntity::RequestDelete(code);
}

void AmbientSoundEntity::OnScheduledCallback(uint32_t id)
{
    if (id == kPlayCallback)
        PlayFromCallback();
    else
        CompoundEntity::OnScheduledCallback(id);
}

void AmbientSoundEntity::PlayFromCallback()
{
    const char* const entry = GetSoundEntryName();
    gSoundEntriesContainer.PlaySoundEntry(entry, this, 0, 0.0f, 1.0f);
    if (!gSoundEntriesContainer.IsSoundEntryLooped(entry))
        ScheduleNextPlay();
}

void AmbientSoundEntity::ScheduleNextPlay()
{
    float delay = 0.0f;
    float variance = 0.0f;
    if (!gSoundEntriesContainer.GetSoundEntryRandomTimeValues(GetSoundEntryName(), &delay, &variance))
        return;
    const float draw = float(gRandomGenerators[0].NextLinear()) * kDrawScale;
    ScheduleCallback(kPlayCallback, delay + draw * variance, kGameTimer);
}
