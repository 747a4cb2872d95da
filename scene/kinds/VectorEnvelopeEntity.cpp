#include "scene/kinds/VectorEnvelopeEntity.h"

#include "scene/kinds/VectorEnvelopeTemplate.h"

RTTI_DEFINE_CLASS_TABLE(VectorEnvelopeEntity, Entity)

void VectorEnvelopeEntity::BuildClassProperties(RTTIPropertiesBase&) {}

const VectorEnvelopeTemplate* VectorEnvelopeEntity::GetEnvelopeTemplate() const
{
    // The template may be changed to another kind; such an entity plays nothing.
    return dynamic_cast<const VectorEnvelopeTemplate*>(GetTemplate());
}

void VectorEnvelopeEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    Envelope::ResetPlayback(m_playback);
}

bool VectorEnvelopeEntity::Advance(float step)
{
    const VectorEnvelopeTemplate* const source = GetEnvelopeTemplate();
    return source == nullptr || source->GetEnvelope().Advance(m_playback, step);
}

Vector VectorEnvelopeEntity::GetValue() const
{
    Vector value;
    if (const VectorEnvelopeTemplate* const source = GetEnvelopeTemplate())
        source->GetEnvelope().Evaluate(m_playback, value);
    return value;
}
