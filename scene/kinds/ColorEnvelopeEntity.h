// ColorEnvelopeEntity: plays its ColorEnvelopeTemplate's colour curve. It holds only a playback
// state, which scripts advance and read as a colour. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "effects/Envelope.h"
#include "scene/entities/Entity.h"

class ColorEnvelopeTemplate;

// Entity playing a colour envelope.
class ColorEnvelopeEntity : public Entity
{
    RTTI_DECLARE_CLASS(ColorEnvelopeEntity, Entity)

public:
    // The Entity behaviour, then playback starts again.
    void ResetBoundsFromTemplate(const char* propertyName) override;
    // Moves playback on by `step` seconds; true once it has run past the last key with no loop
    // holding it, and at once without keys or without a colour envelope template.
    bool Advance(float step);
    void Reset() { Envelope::ResetPlayback(m_playback); }
    // The colour at the playback state as a vector, linear while linear lighting is on; white
    // without a colour envelope template.
    Vector GetLinearColor() const;
    const EnvelopePlayState& GetPlayback() const { return m_playback; }

private:
    const ColorEnvelopeTemplate* GetEnvelopeTemplate() const;

    EnvelopePlayState m_playback;
};
