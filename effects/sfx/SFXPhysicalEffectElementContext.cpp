#include "effects/sfx/SFXPhysicalEffectElementContext.h"

#include "effects/particles/PhysicalEffectObject.h"
#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"

#include <algorithm>

SFXPhysicalEffectElementContext::SFXPhysicalEffectElementContext() = default;

SFXPhysicalEffectElementContext::~SFXPhysicalEffectElementContext() = default;

void SFXPhysicalEffectElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent,
                                           uint32_t renderingFlags, uint32_t initFlags)
{
    SFXElementContext::Init(definition, parent, renderingFlags, initFlags);
    const auto& element = static_cast<const SFXPhysicalEffectElementDefinition&>(definition);
    if (PhysicalEffectObject::IsWorldEnabled() && element.GetPhysicalEffectTemplate() != nullptr)
        m_object = std::make_unique<PhysicalEffectObject>();
    else
        m_object.reset();
}

void SFXPhysicalEffectElementContext::SetSpeedMultiplier(float multiplier)
{
    if (m_object != nullptr)
        m_object->SetSpeedMultiplier(multiplier);
}

void SFXPhysicalEffectElementContext::SetLifeMultiplier(float multiplier)
{
    if (m_object != nullptr)
        m_object->SetLifeMultiplier(multiplier);
}

void SFXPhysicalEffectElementContext::SetSpawnRateMultiplier(float multiplier)
{
    m_spawnMultiplier = std::max(multiplier, 0.0f);
}

void SFXPhysicalEffectElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                             const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    if (m_object == nullptr)
        return;
    Vector spawn;
    static_cast<const SFXPhysicalEffectElementDefinition&>(definition)
        .GetSpawnRateMultiplier()
        .Evaluate(m_states[SFXPhysicalEffectElementDefinition::STATE_SPAWN], spawn);
    m_object->SetSpawnRate(m_spawnMultiplier * std::max(spawn.x, 0.0f));
    m_spawning = spawn.x > 0.0f ? 1 : 0;
}

bool SFXPhysicalEffectElementContext::IsBusy() const
{
    return m_object != nullptr && !m_object->IsFinished();
}
