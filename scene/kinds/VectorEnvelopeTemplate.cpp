#include "scene/kinds/VectorEnvelopeTemplate.h"

#include "scene/kinds/VectorEnvelopeEntity.h"

RTTI_DEFINE_CLASS(VectorEnvelopeTemplate, EntityTemplate)

void VectorEnvelopeTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIEmbeddedObjectProperty<VectorEnvelopeTemplate, TEnvelope<Vector>>(
        "Envelope", &VectorEnvelopeTemplate::m_envelope));
}

VectorEnvelopeTemplate::VectorEnvelopeTemplate() : m_envelope(Envelope::COMBINE_KEYS, Vector(1.0f, 1.0f, 1.0f, 1.0f))
{
    SetTypeId(kTypeId);
}

Entity* VectorEnvelopeTemplate::CreateEntity()
{
    return new VectorEnvelopeEntity;
}
