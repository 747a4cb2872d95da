#include "scene/kinds/ColorEnvelopeEntity.h"

#include "scene/kinds/ColorEnvelopeTemplate.h"

RTTI_DEFINE_CLASS_TABLE(ColorEnvelopeEntity, Entity)

void ColorEnvelopeEntity::BuildClassProperties(RTTIPropertiesBase&) {}

const ColorEnvelopeTemplate* ColorEnvelopeEntity::GetEnvelopeTemplate() const
{
    // The template may be changed to another kind; such an entity plays nothing.
    return dynamic_cast<const ColorEnvelopeTemplate*>(GetTemplate());
}

void ColorEnvelopeEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    Envelope::ResetPlayback(m_playback);
}

bool ColorEnvelopeEntity::Advance(float step)
{
    const ColorEnvelopeTemplate* const source = GetEnvelopeTemplate();
    return source == nullptr || source->GetEnvelope().Advance(m_playback, step);
}

Vector ColorEnvelopeEntity::GetLinearColor() const
{
    HDRColor color(255, 255, 255, 255);
    if (const ColorEnvelopeTemplate* const source = GetEnvelopeTemplate())
        source->GetEnvelope().Evaluate(m_playback, color);
    Vector value;
    color.ToVector(value);
    return value;
}
