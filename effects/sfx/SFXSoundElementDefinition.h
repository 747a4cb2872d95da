// SFXSoundElementDefinition: an effect element that plays a sound entry from the element's place
// while its start envelope is above zero, at the volume its volume envelope gives. Edited on the
// game thread; played from the render thread.
#pragma once

#include "core/strings/NameString.h"
#include "effects/sfx/SFXElementDefinition.h"

#include <cstdint>

// A sound element: the entry, its channel, when it plays and how loud.
class SFXSoundElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXSoundElementDefinition, SFXElementDefinition)

public:
    // Playback states of the start and volume envelopes in the element context.
    static constexpr uint32_t STATE_START = BASE_STATE_COUNT;
    static constexpr uint32_t STATE_VOLUME = BASE_STATE_COUNT + 1;

    SFXSoundElementDefinition();

    void ResolveResources(bool load) override;
    // Has the sound engine load the entry's files ahead of the first play.
    void PreloadResources() override;
    SFXElementContext* CreateContext() const override;

    const NameString& GetSoundEntryName() const { return m_soundEntryName; }
    void SetSoundEntryName(const char* name) { m_soundEntryName.Set(name); }
    uint32_t GetSoundChannel() const { return m_soundChannel; }
    const TEnvelope<Vector>& GetStartEnvelope() const { return m_startEnvelope; }
    const TEnvelope<Vector>& GetVolume() const { return m_volume; }
    TEnvelope<Vector>& EditStartEnvelope() { return m_startEnvelope; }
    TEnvelope<Vector>& EditVolume() { return m_volume; }

private:
    NameString m_soundEntryName;
    uint32_t m_soundChannel = 0;
    TEnvelope<Vector> m_startEnvelope;
    TEnvelope<Vector> m_volume;
};
