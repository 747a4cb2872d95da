// VectorEnvelopeTemplate: the template (type 13) of vector envelope entities; it holds one keyed
// vector curve that its entities play. Main thread only (the resource thread only reads its record).
#pragma once

#include "effects/TEnvelope.h"
#include "scene/templates/EntityTemplate.h"

// Template holding a vector envelope.
class VectorEnvelopeTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(VectorEnvelopeTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 13;

    VectorEnvelopeTemplate();

    const char* GetTemplateClassName() const override { return "VectorEnvelopeTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "VectorEnvelopeEntity"; }

    TEnvelope<Vector>& GetEnvelope() { return m_envelope; }
    const TEnvelope<Vector>& GetEnvelope() const { return m_envelope; }

private:
    TEnvelope<Vector> m_envelope;
};
