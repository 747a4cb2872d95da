#include "effects/sfx/SFXLightElementContext.h"

#include "effects/sfx/SFXLightElementDefinition.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/resources/ResourceTexture.h"

#include <algorithm>

namespace
{
// Effect lights are as bright as their colour; the mask is used as authored.
constexpr float kIntensity = 1.0f;
const Vector kMaskRotation(0.0f, 0.0f, 0.0f, 0.0f);
const Vector kMaskScale(1.0f, 1.0f, 1.0f, 1.0f);
} // namespace

SFXLightElementContext::SFXLightElementContext() : m_light(new RendererLightWrapper) {}

SFXLightElementContext::~SFXLightElementContext() = default;

void SFXLightElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                                    const Matrix& parent)
{
    SFXElementContext::Update(clockSeconds, delta, definition, parent);
    const auto& light = static_cast<const SFXLightElementBase&>(definition);
    Vector range;
    light.GetRange().Evaluate(m_states[SFXLightElementBase::STATE_RANGE], range);
    HDRColor color;
    definition.GetColor().Evaluate(m_states[SFXElementDefinition::STATE_COLOR], color);
    color.ToVector(m_lightColor);
    m_lightColor.Set(std::max(m_lightColor.x, 0.0f), std::max(m_lightColor.y, 0.0f), std::max(m_lightColor.z, 0.0f),
                     std::max(m_lightColor.w, 0.0f));
    m_inner = std::min(range.x, range.y);
    m_outer = std::max(range.x, range.y);
    m_localBounds = BoundingBox4(Vector(-m_outer, -m_outer, -m_outer, 0.0f), Vector(m_outer, m_outer, m_outer, 0.0f));
    m_light->EditData().SetTransform(GetWorldMatrix(parent));
}

void SFXLightElementContext::SubmitLight(const SFXElementDefinition& definition, float alpha)
{
    const auto& light = static_cast<const SFXLightElementBase&>(definition);
    TextureHolder* mask = light.GetMaskHandle();
    if (mask == nullptr && light.GetMaskResource() != nullptr)
        mask = static_cast<ResourceTexture*>(light.GetMaskResource())->GetTextureHolder();
    Vector color = m_lightColor;
    color.Mul(alpha);
    LightRenderData& data = m_light->EditData();
    if (light.IsSpot())
        data.SetSpot(color, kIntensity, m_inner, m_outer, light.GetSpotWidth(), light.GetSpotSoftness(), mask,
                     kMaskRotation, kMaskScale);
    else
        data.SetPoint(color, kIntensity, m_inner, m_outer, mask, kMaskRotation, kMaskScale);
    if (gRenderer != nullptr)
        gRenderer->AddFrameLight(m_light.get());
}
