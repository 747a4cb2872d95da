#include "scene/kinds/ColorEnvelopeTemplate.h"

#include "scene/kinds/ColorEnvelopeEntity.h"

RTTI_DEFINE_CLASS(ColorEnvelopeTemplate, EntityTemplate)

void ColorEnvelopeTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIEmbeddedObjectProperty<ColorEnvelopeTemplate, TEnvelope<HDRColor>>(
        "Envelope", &ColorEnvelopeTemplate::m_envelope));
}

ColorEnvelopeTemplate::ColorEnvelopeTemplate() : m_envelope(Envelope::COMBINE_KEYS, HDRColor(255, 255, 255, 255, 1.0f))
{
    SetTypeId(kTypeId);
}

Entity* ColorEnvelopeTemplate::CreateEntity()
{
    return new ColorEnvelopeEntity;
}
