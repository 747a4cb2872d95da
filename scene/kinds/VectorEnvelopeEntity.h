// VectorEnvelopeEntity: plays its VectorEnvelopeTemplate's vector curve. It holds only a playback
// state, which scripts advance and read. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "effects/Envelope.h"
#include "scene/entities/Entity.h"

class VectorEnvelopeTemplate;

// Entity playing a vector envelope.
class VectorEnvelopeEntity : public Entity
{
    RTTI_DECLARE_CLASS(VectorEnvelopeEntity, Entity)

public:
    // The Entity behaviour, then playback starts again.
    void ResetBoundsFromTemplate(const char* propertyName) override;
    // Moves playback on by `step` seconds; true once it has run past the last key with no loop
    // holding it, and at once without keys or without a vector envelope template.
    bool Advance(float step);
    void Reset() { Envelope::ResetPlayback(m_playback); }
    // The value at the playback state; zero without a vector envelope template.
    Vector GetValue() const;
    const EnvelopePlayState& GetPlayback() const { return m_playback; }

private:
    const VectorEnvelopeTemplate* GetEnvelopeTemplate() const;

    EnvelopePlayState m_playback;
};
