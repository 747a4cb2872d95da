// SFXParticleElementDefinition: an effect element that plays a particle template's emitter, its
// spawn rate scaled by an envelope. Edited and resolved on the game thread.
#pragma once

#include "core/SimpleGUID.h"
#include "effects/sfx/SFXElementDefinition.h"

class EntityTemplate;
class ParticleTemplate;

// A particle element: which particle template plays and how fast it spawns.
class SFXParticleElementDefinition : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(SFXParticleElementDefinition, SFXElementDefinition)

public:
    // The spawn envelope's playback state in the element context.
    static constexpr uint32_t STATE_SPAWN = BASE_STATE_COUNT;

    SFXParticleElementDefinition();
    ~SFXParticleElementDefinition() override;

    void ResolveResources(bool load) override;
    // Waits for the particle template's body and for its particles' mesh, then takes the passes.
    void TakeLoadedTemplate() override;
    void ReleaseResources(uint32_t flag) override;
    void SetResourceFlags(uint32_t flags) override;
    SFXElementContext* CreateContext() const override;
    // The emitter's particles (quads or mesh instances), and its mesh particles in the depth pass.
    void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
              uint32_t extra, uint32_t passFlags) const override;
    void DrawDepth(const Matrix& matrix, SFXElementContext* context) const override;

    const SimpleGUID& GetParticleTemplateGUID() const { return m_particleTemplateGUID; }
    void SetParticleTemplateGUID(const SimpleGUID& guid) { m_particleTemplateGUID = guid; }
    const TEnvelope<Vector>& GetSpawnRateMultiplier() const { return m_spawnRateMultiplier; }
    TEnvelope<Vector>& EditSpawnRateMultiplier() { return m_spawnRateMultiplier; }
    // The resolved template, or null.
    ParticleTemplate* GetParticleTemplate() const;
    // Game thread: the resolved template with its body in (`WaitForSFXElementTemplate`), or null.
    const ParticleTemplate* WaitForParticleTemplate() const;

private:
    // Pass bits and bytes from the template held and its particles' mesh.
    void TakeParticleData();

    SimpleGUID m_particleTemplateGUID;
    TEnvelope<Vector> m_spawnRateMultiplier;
    EntityTemplate* m_template = nullptr;
};
