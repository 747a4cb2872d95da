// SFXPhysicalEffectElementContext: the physical effect of one playing physical-effect element. While
// the physics world runs, Init makes the effect's object for the element's template; the context
// then passes the effect's multipliers on to it, sets its spawn rate from the spawn envelope and
// keeps the element busy until the object finished. Without a running world (this game's) the
// element only plays its envelopes. Built on the game thread, then driven on the render thread.
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <cstdint>
#include <memory>

class PhysicalEffectObject;

// A playing physical-effect element.
class SFXPhysicalEffectElementContext : public SFXElementContext
{
public:
    SFXPhysicalEffectElementContext();
    ~SFXPhysicalEffectElementContext() override;

    // Base, then a new object when the physics world runs and the element's template is resolved.
    void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
              uint32_t initFlags) override;
    void SetSpeedMultiplier(float multiplier) override;
    void SetLifeMultiplier(float multiplier) override;
    void SetSpawnRateMultiplier(float multiplier) override;
    // Base, then the object's spawn rate: the multiplier times the spawn envelope (not below 0).
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;
    // While the object exists and has not finished.
    bool IsBusy() const override;

    PhysicalEffectObject* GetEffectObject() const { return m_object.get(); }
    bool IsSpawning() const { return m_spawning != 0; }
    float GetSpawnMultiplier() const { return m_spawnMultiplier; }

private:
    std::unique_ptr<PhysicalEffectObject> m_object;
    float m_spawnMultiplier = 1.0f;
    uint8_t m_spawning = 0;
};
