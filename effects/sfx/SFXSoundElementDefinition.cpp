#include "effects/sfx/SFXSoundElementDefinition.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "effects/sfx/SFXSoundElementContext.h"

RTTI_DEFINE_CLASS(SFXSoundElementDefinition, SFXElementDefinition)

void SFXSoundElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXSoundElementDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Sound entry name", &C::m_soundEntryName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Sound channel", &C::m_soundChannel));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Sound start envelope", &C::m_startEnvelope));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Volume", &C::m_volume));
}

SFXSoundElementDefinition::SFXSoundElementDefinition()
    : m_startEnvelope(Envelope::COMBINE_KEYS, Vector(1.0f, 0.0f, 0.0f, 0.0f)),
      m_volume(Envelope::COMBINE_MULTIPLY, Vector(1.0f, 0.0f, 0.0f, 0.0f))
{
}

void SFXSoundElementDefinition::ResolveResources(bool load)
{
    SFXElementDefinition::ResolveResources(load);
    Bind(m_startEnvelope, STATE_START);
    Bind(m_volume, STATE_VOLUME);
}

void SFXSoundElementDefinition::PreloadResources()
{
    if (!m_soundEntryName.IsEmpty())
        gSoundEntriesContainer.LoadEntrySounds(m_soundEntryName.CStr());
}

SFXElementContext* SFXSoundElementDefinition::CreateContext() const
{
    return new SFXSoundElementContext;
}
