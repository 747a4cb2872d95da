#include "effects/sfx/SFXParticleElementContext.h"

#include "effects/particles/ParticleSystemContext.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "scene/kinds/ParticleTemplate.h"

#include <algorithm>

namespace
{
// The clock and parking bits of the effect's flags are the emitter's too.
constexpr uint32_t kEmitterFlagMask = 28;
} // namespace

SFXParticleElementContext::~SFXParticleElementContext()
{
    if (m_system != nullptr)
        m_system->DestroyOnRenderThread();
}

void SFXParticleElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent,
                                     uint32_t renderingFlags, uint32_t initFlags)
{
    SFXElementContext::Init(definition, parent, renderingFlags, initFlags);
    if (m_system != nullptr)
        m_system->PostDestroy();
    m_system = nullptr;
    const ParticleTemplate* const particles =
        static_cast<const SFXParticleElementDefinition&>(definition).WaitForParticleTemplate();
    if (particles != nullptr)
        m_system = new ParticleSystemContext(particles->GetSystem(), GetWorldMatrix(parent),
                                             renderingFlags & kEmitterFlagMask);
}

EntityTemplate* SFXParticleElementContext::TakeTemplateReference()
{
    return m_system != nullptr ? m_system->TakeMeshTemplateReference() : nullptr;
}

void SFXParticleElementContext::SetSpeedMultiplier(float multiplier)
{
    if (m_system != nullptr)
        m_system->SetSpeedMultiplier(multiplier);
}

void SFXParticleElementContext::SetLifeMultiplier(float multiplier)
{
    if (m_system != nullptr)
        m_system->SetLifeMultiplier(multiplier);
}

void SFXParticleElementContext::SetSpawnRateMultiplier(float multiplier)
{
    m_spawnMultiplier = std::max(multiplier, 0.0f);
}

void SFXParticleElementContext::SetSpawner(ParticleSpawner* spawner)
{
    if (m_system != nullptr)
        m_system->SetCustomSpawner(spawner);
}

void SFXParticleElementContext::AdvanceTime(const SFXElementDefinition& definition, float delta)
{
    SFXElementContext::AdvanceTime(definition, delta);
    if (m_system != nullptr)
        m_system->AddPendingTime(delta);
}

void SFXParticleElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                       const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    if (m_system == nullptr)
        return;
    m_system->SetMatrix(GetWorldMatrix(parent));
    m_localBounds = m_system->GetSmoothedBounds();
    Vector spawn;
    static_cast<const SFXParticleElementDefinition&>(definition)
        .GetSpawnRateMultiplier()
        .Evaluate(m_states[SFXParticleElementDefinition::STATE_SPAWN], spawn);
    m_system->SetSpawnRateMultiplier(m_spawnMultiplier * std::max(spawn.x, 0.0f));
    const uint8_t spawning = spawn.x > 0.0f ? 1 : 0;
    if (spawning != m_spawning)
    {
        if (spawning != 0)
            m_system->Restart();
        else
            m_system->Stop();
        m_spawning = spawning;
        m_stopTime = clockSeconds;
    }
    // Particles emitted before the stop still fly: the element ends only when the longest of
    // them has died.
    if (m_running == 0 && m_spawning == 0)
    {
        const double longestLife =
            double(m_system->GetMinimumLife() + m_system->GetLifeRange()) * double(m_system->GetLifeMultiplier());
        if (longestLife > clockSeconds - m_stopTime)
            m_running = 1;
    }
}

void SFXParticleElementContext::Reset(const SFXElementDefinition& definition)
{
    SFXElementContext::Reset(definition);
    m_spawning = 0;
    m_spawnMultiplier = 1.0f;
    m_stopTime = 0.0;
    if (m_system == nullptr)
        return;
    m_system->SetSpawnRateMultiplier(1.0f);
    m_system->Stop();
}
