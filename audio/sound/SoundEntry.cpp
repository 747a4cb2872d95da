#include "audio/sound/SoundEntry.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(SoundEntrySoundList, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(SoundEntry, RTTIPolyBaseClass)

void SoundEntrySoundList::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SoundEntrySoundList;
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Tags", &C::m_tags));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Sounds", &C::m_sounds));
}

void SoundEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SoundEntry;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Entry name", &C::m_name));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, SoundEntrySoundList>("Sound entries", &C::m_lists));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Volume", &C::m_volume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Range min", &C::m_rangeMin));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Range max", &C::m_rangeMax));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Pitch", &C::m_pitch));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Random delay", &C::m_randomDelay));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Random delay var", &C::m_randomDelayVariance));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("_2D", &C::m_2D));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Loop", &C::m_loop));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Important", &C::m_important));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("True3D", &C::m_true3D));
}
