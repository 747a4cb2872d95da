// AmbientSoundTemplate: a compound template (type 17, a kind of 5) that also names the sound
// entry its entities play from their position. Main thread only (the resource thread only reads
// its record).
#pragma once

#include "core/strings/NameString.h"
#include "scene/kinds/CompoundTemplate.h"

// Compound template with the name of a sound entry.
class AmbientSoundTemplate : public CompoundTemplate
{
    RTTI_DECLARE_CLASS(AmbientSoundTemplate, CompoundTemplate)

public:
    static constexpr uint32_t kTypeId = 17;

    AmbientSoundTemplate();

    const char* GetTemplateClassName() const override { return "AmbientSoundTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "AmbientSoundEntity"; }

    const NameString& GetSoundEntry() const { return m_soundEntry; }
    void SetSoundEntry(const char* name) { m_soundEntry = NameString(name); }

private:
    NameString m_soundEntry;
};
