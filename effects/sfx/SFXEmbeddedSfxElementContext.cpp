#include "effects/sfx/SFXEmbeddedSfxElementContext.h"

#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "renderer/NorvexRenderer.h"
#include "scene/kinds/SFXTemplate.h"

namespace
{
// A nested effect runs on whatever clock its element is given.
constexpr uint32_t kNestedRenderingFlags = 1;
} // namespace

SFXEmbeddedSfxElementContext::~SFXEmbeddedSfxElementContext()
{
    delete m_nested;
}

void SFXEmbeddedSfxElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent,
                                        uint32_t renderingFlags, uint32_t initFlags)
{
    SFXElementContext::Init(definition, parent, renderingFlags, initFlags);
    if (m_nested != nullptr)
        m_nested->Release();
    m_nested = nullptr;
    m_time = 0.0f;
    const auto& embedded = static_cast<const SFXEmbeddedSfxElementDefinition&>(definition);
    SFXTemplate* const effect = embedded.GetSFXTemplate();
    if (effect != nullptr && gRenderer != nullptr)
    {
        m_nested = new SFXContext(*gRenderer, effect, kNestedRenderingFlags, true);
        m_nested->Init(effect->GetDefinition(), GetWorldMatrix(parent), false, 0);
    }
    m_hasDelay = embedded.GetStartDelay() > 0.0f ? 1 : 0;
    m_restarts = embedded.GetRestartAfter() > 0.0f ? 1 : 0;
}

void SFXEmbeddedSfxElementContext::Start(uint8_t skip)
{
    if (m_nested != nullptr && m_hasDelay == 0)
        m_nested->Start(skip);
}

void SFXEmbeddedSfxElementContext::Stop()
{
    if (m_nested != nullptr)
        m_nested->Stop();
}

void SFXEmbeddedSfxElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                          const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    m_time += delta;
    if (m_nested == nullptr)
        return;
    const auto& embedded = static_cast<const SFXEmbeddedSfxElementDefinition&>(definition);
    const float delay = embedded.GetStartDelay();
    const float period = embedded.GetRestartAfter();
    if (period > 0.0f && m_time > delay + period)
    {
        m_nested->ResetPlayback();
        m_time = delay;
    }
    else if (m_time > delay)
    {
        if (!m_nested->IsActive())
            m_nested->Start(0);
        const Matrix world = GetWorldMatrix(parent);
        m_nested->SetTransform(world, false);
        m_nested->UpdateNested(clockSeconds, delta, clockSeconds, delta, clockSeconds, delta);
    }
}
