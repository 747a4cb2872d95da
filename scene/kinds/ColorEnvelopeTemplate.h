// ColorEnvelopeTemplate: the template (type 12) of colour envelope entities; it holds one keyed
// colour curve that its entities play. Main thread only (the resource thread only reads its record).
#pragma once

#include "effects/TEnvelope.h"
#include "scene/templates/EntityTemplate.h"

// Template holding a colour envelope.
class ColorEnvelopeTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(ColorEnvelopeTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 12;

    ColorEnvelopeTemplate();

    const char* GetTemplateClassName() const override { return "ColorEnvelopeTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "ColorEnvelopeEntity"; }

    TEnvelope<HDRColor>& GetEnvelope() { return m_envelope; }
    const TEnvelope<HDRColor>& GetEnvelope() const { return m_envelope; }

private:
    TEnvelope<HDRColor> m_envelope;
};
