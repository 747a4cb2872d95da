#include "scene/kinds/LightEntity.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/kinds/LightTemplate.h"

#include <algorithm>
#include <cmath>

namespace
{
const char* const kTwoSidedNames[] = {"Single sided", "Double sided", "Gooch lighting", nullptr};
constexpr uint32_t kColorFlags = 8;
constexpr uint32_t kVectorFlags = 64;
// A file name property whose editor browses the "Textures" folder.
constexpr uint32_t kLightFileNameFlags = 0x800;
// Post-load flag: the load is not allowed to wait for the resource thread.
constexpr uint32_t kPostLoadNoWait = 4;
// Debug-draw flag: draw in white whatever the wireframe colour says.
constexpr uint32_t kDrawWhite = 2;
constexpr float kDegreesToRadians = 0.017453292f;

HDRColor ColorOf(const Vector& v)
{
    HDRColor color;
    color.FromVector(v);
    return color;
}
} // namespace

RTTI_DEFINE_CLASS_TABLE(LightEntity, Entity)

void LightEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = LightEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color, kColorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Specualar multiplier", &C::m_specular));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Start falloff", &C::m_startFalloff));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("End falloff", &C::m_endFalloff));
    table.AddProperty(new RTTIPropertyGroup("Spotlight specific"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Spotlight width", &C::m_spotWidth));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Spotlight softness", &C::m_spotSoftness));
    table.AddProperty(new RTTIPropertyGroup("Tube specific"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Tube length", &C::m_tubeLength));
    table.AddProperty(new RTTIPropertyGroup("Directional ambient specific"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Two sided mode", &C::m_twoSidedMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kTwoSidedNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Wrap around factor", &C::m_wrapAround));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, HDRColor>("Secondary color", &C::m_secondaryColor, kColorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Side color", &C::m_sideColor));
    table.AddProperty(new RTTIPropertyGroup("Mask"));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, NameString>("Mask texture file name", &C::m_maskName, kLightFileNameFlags));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, Vector>("Mask texture rotation", &C::m_maskRotation, kVectorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Mask texture scale", &C::m_maskScale, kVectorFlags));
}

LightEntity::LightEntity()
    : m_color(ColorOf(Vector(1.0f, 1.0f, 1.0f, 1.0f))), m_secondaryColor(ColorOf(Vector(0.25f, 0.25f, 0.25f, 0.25f))),
      m_sideColor(ColorOf(Vector(0.0f, 0.0f, 0.0f, 0.0f))), m_light(new RendererLightWrapper)
{
}

LightEntity::~LightEntity()
{
    // Commands already written may still name the light: it dies on the render thread after them.
    // With no renderer there is no render side that could still hold it.
    if (gRenderer != nullptr)
        NorvexRendererObject::PostDeletion(m_light, true, false);
    else
        delete m_light;
    m_light = nullptr;
    ReleaseMask();
}

uint32_t LightEntity::GetLightType() const
{
    const LightTemplate* const lightTemplate = dynamic_cast<const LightTemplate*>(GetTemplate());
    return lightTemplate != nullptr ? lightTemplate->GetLightType() : LightTemplate::LIGHT_POINT;
}

float LightEntity::GetNearRange() const
{
    return std::min(m_startFalloff, m_endFalloff);
}

float LightEntity::GetFarRange() const
{
    return std::max(m_startFalloff, m_endFalloff);
}

void LightEntity::ReleaseMask()
{
    if (m_mask != nullptr)
        m_mask->Release();
    m_mask = nullptr;
}

void LightEntity::OnPropertyChanged(const RTTIProperty* property)
{
    Entity::OnPropertyChanged(property);
    UpdateLight(true);
}

void LightEntity::OnPostLoad(uint32_t flags)
{
    Entity::OnPostLoad(flags);
    UpdateLight((flags & kPostLoadNoWait) == 0);
}

void LightEntity::UpdateTransform()
{
    Entity::UpdateTransform();
    m_light->PostMatrix(GetGlobalLocationMatrix());
}

bool LightEntity::RenderWithoutContext(uint32_t)
{
    if (gRenderer != nullptr)
        gRenderer->AddLight(m_light);
    return true;
}

void LightEntity::DebugDrawBoundingBox(const BoundingBox4&, const Vector&)
{
}

void LightEntity::UpdateLight(bool blocking)
{
    ReleaseMask();
    TextureHolder* maskHandle = nullptr;
    if (!m_maskName.IsEmpty() && gResourceManager != nullptr)
    {
        Resource* const resource = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, m_maskName.CStr(), 0, true, 0);
        m_mask = dynamic_cast<ResourceTexture*>(resource);
        if (m_mask == nullptr && resource != nullptr)
            resource->Release();
        if (m_mask != nullptr)
        {
            m_mask->Load(blocking);
            maskHandle = m_mask->IsLoaded() ? m_mask->GetTextureHolder() : nullptr;
        }
    }
    Vector color;
    m_color.ToVector(color);
    const float nearRange = GetNearRange();
    const float farRange = GetFarRange();
    BoundingBox4 box;
    switch (GetLightType())
    {
    case LightTemplate::LIGHT_POINT:
        m_light->PostPoint(color, m_specular, nearRange, farRange, maskHandle, m_maskRotation, m_maskScale);
        box.Set(Vector(-farRange, -farRange, -farRange, 1.0f), Vector(farRange, farRange, farRange, 1.0f));
        break;
    case LightTemplate::LIGHT_SPOT:
    {
        m_light->PostSpot(color, m_specular, nearRange, farRange, m_spotWidth, m_spotSoftness, maskHandle,
                          m_maskRotation, m_maskScale);
        // The box holds the cone the renderer draws, tan(width) x far to each side. A negative width
        // draws the mirrored cone: its corners are put in order, as min above max would be an empty box
        // that drops the light from the grid. From 90 degrees on (or for a width with no tangent) the
        // cone has no finite spread, so the light takes the whole sphere of its reach.
        const float t = std::tan(m_spotWidth * kDegreesToRadians);
        if (m_spotWidth < 90.0f && std::isfinite(t))
        {
            const float spread = std::fabs(t) * farRange;
            box.Set(Vector(-spread, -spread, -0.1f, 1.0f), Vector(spread, spread, farRange, 1.0f));
        }
        else
            box.Set(Vector(-farRange, -farRange, -farRange, 1.0f), Vector(farRange, farRange, farRange, 1.0f));
        break;
    }
    case LightTemplate::LIGHT_TUBE:
        m_light->PostTube(color, m_specular, nearRange, farRange, m_tubeLength, maskHandle, m_maskRotation,
                          m_maskScale);
        box.Set(Vector(-farRange, -farRange, -m_tubeLength * 0.5f, 1.0f),
                Vector(farRange, farRange, m_tubeLength * 0.5f, 1.0f));
        break;
    case LightTemplate::LIGHT_DIRECTIONAL_AMBIENT:
    {
        Vector secondary, side;
        m_secondaryColor.ToVector(secondary);
        m_sideColor.ToVector(side);
        m_light->PostDirectionalAmbient(color, secondary, side, m_specular, m_twoSidedMode, m_wrapAround, maskHandle,
                                        m_maskRotation, m_maskScale, GetViewVisibility());
        box.Set(Vector(-0.5f, -0.5f, -4.0f, 1.0f), Vector(0.5f, 0.5f, 1.0f, 1.0f));
        break;
    }
    default:
        UpdateTransform();
        return;
    }
    SetLocalBoundingBox(box);
    UpdateTransform();
}

void LightEntity::DrawDebug(uint32_t flags)
{
    Entity::DrawDebug(flags);
    if (gRenderer == nullptr || GetTemplate() == nullptr)
        return;
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & kDrawWhite) == 0)
        GetTemplate()->GetWireframeColor().ToVector(color);
    const Matrix& world = GetGlobalLocationMatrix();
    switch (GetLightType())
    {
    case LightTemplate::LIGHT_POINT: gRenderer->DebugDrawPointLight(world, color, GetNearRange(), GetFarRange()); break;
    case LightTemplate::LIGHT_SPOT:
        gRenderer->DebugDrawSpotLight(world, color, GetNearRange(), GetFarRange(), m_spotWidth);
        break;
    case LightTemplate::LIGHT_TUBE:
        gRenderer->DebugDrawTubeLight(world, color, GetNearRange(), GetFarRange(), m_tubeLength * 0.5f);
        break;
    case LightTemplate::LIGHT_DIRECTIONAL_AMBIENT: gRenderer->DebugDrawDirectionalAmbientLight(world, color); break;
    default: break;
    }
}
