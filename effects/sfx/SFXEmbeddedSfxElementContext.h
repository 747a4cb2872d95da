// SFXEmbeddedSfxElementContext: the nested effect of one playing embedded element. Init builds the
// nested SFXContext on the game thread (it never joins the per-frame walk); on the render thread
// the element starts it after the start delay, places it at the element, updates it on the
// element's clock and restarts it every "Restart after" seconds, and deletes it with itself.
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <cstdint>

class SFXContext;

// A playing embedded effect element.
class SFXEmbeddedSfxElementContext : public SFXElementContext
{
public:
    ~SFXEmbeddedSfxElementContext() override;

    // Base, then a nested context of the element's effect template at the element's world matrix.
    void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
              uint32_t initFlags) override;
    // Starts the nested effect at once unless it waits for its start delay.
    void Start(uint8_t skip) override;
    void Stop() override;
    // Base, then the delay, the restarts and the nested effect's own update.
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;
    // A restarting nested effect never ends.
    bool IsBusy() const override { return m_restarts != 0; }
    SFXContext* GetNestedContext() const override { return m_nested; }

    float GetTime() const { return m_time; }

private:
    SFXContext* m_nested = nullptr;
    float m_time = 0.0f; // seconds since the element started
    uint8_t m_hasDelay = 0;
    uint8_t m_restarts = 0;
};
