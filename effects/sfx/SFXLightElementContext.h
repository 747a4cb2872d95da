// SFXLightElementContext: the light of one playing light element. The light object belongs to the
// element context: its range and colour follow the envelopes every update, and each draw of the
// light pass hands it to the frame's light list. Made on the game thread, then render thread only.
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <memory>

class RendererLightWrapper;

// A playing point or spot light.
class SFXLightElementContext : public SFXElementContext
{
public:
    SFXLightElementContext();
    ~SFXLightElementContext() override;

    // Base, then range, colour, box and the light's place from the envelopes.
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;
    // The light's parameters with its colour times `alpha`, then the light joins the frame's list
    // (which takes none past its limit).
    void SubmitLight(const SFXElementDefinition& definition, float alpha);

    const RendererLightWrapper& GetLight() const { return *m_light; }
    const Vector& GetLightColor() const { return m_lightColor; }
    float GetInnerRadius() const { return m_inner; }
    float GetOuterRadius() const { return m_outer; }

private:
    std::unique_ptr<RendererLightWrapper> m_light;
    Vector m_lightColor = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    float m_inner = 0.0f;
    float m_outer = 0.0f;
};
