#include "scene/kinds/AmbientSoundTemplate.h"

#include "scene/kinds/AmbientSoundEntity.h"

RTTI_DEFINE_CLASS(AmbientSoundTemplate, CompoundTemplate)

void AmbientSoundTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<AmbientSoundTemplate, NameString>("Sound entry", &AmbientSoundTemplate::m_soundEntry));
}

AmbientSoundTemplate::AmbientSoundTemplate()
{
    SetTypeId(kTypeId);
}

Entity* AmbientSoundTemplate::CreateEntity()
{
    return new AmbientSoundEntity;
}
