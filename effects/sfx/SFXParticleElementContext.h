// SFXParticleElementContext: the particle emitter of one playing particle element. Built on the game
// thread from the element's particle template, then driven on the render thread: it follows the
// element's place, spawns while the spawn envelope is above zero, and keeps the element running
// until the last particle emitted has died.
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <cstdint>

class ParticleSystemContext;

// A playing particle element.
class SFXParticleElementContext : public SFXElementContext
{
public:
    ~SFXParticleElementContext() override;

    // Base, then a new emitter from the template at the element's world matrix (flags AND 28).
    void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
              uint32_t initFlags) override;
    // The emitter's mesh template reference (mesh particles only).
    EntityTemplate* TakeTemplateReference() override;
    void SetSpeedMultiplier(float multiplier) override;
    void SetLifeMultiplier(float multiplier) override;
    void SetSpawnRateMultiplier(float multiplier) override;
    void SetSpawner(ParticleSpawner* spawner) override;
    void AdvanceTime(const SFXElementDefinition& definition, float delta) override;
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;
    void Reset(const SFXElementDefinition& definition) override;

    ParticleSystemContext* GetSystem() const { return m_system; }
    bool IsSpawning() const { return m_spawning != 0; }
    float GetSpawnMultiplier() const { return m_spawnMultiplier; }
    double GetStopTime() const { return m_stopTime; }

private:
    ParticleSystemContext* m_system = nullptr;
    double m_stopTime = 0.0; // clock seconds when emission last stopped
    float m_spawnMultiplier = 1.0f;
    uint8_t m_spawning = 0;
};
