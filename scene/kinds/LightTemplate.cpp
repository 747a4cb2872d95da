#include "scene/kinds/LightTemplate.h"

#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityConstants.h"
#include "scene/kinds/LightEntity.h"

namespace
{
const char* const kLightTypeNames[] = {"Point", "Spot", "Tube", "Directional ambient", nullptr};
// Debug-draw flag: draw in white whatever the wireframe colour says.
constexpr uint32_t kLightTemplateDrawWhite = 2;
} // namespace

RTTI_DEFINE_CLASS_TABLE(LightTemplate, EntityTemplate)

void LightTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = LightTemplate;
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Light type", &C::m_lightType, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kLightTypeNames);
}

LightTemplate::LightTemplate()
{
    SetTypeId(ENTITY_LIGHT);
    HDRColor green;
    green.FromVector(Vector(0.0f, 1.0f, 0.0f, 1.0f));
    SetWireframeColor(green);
}

Entity* LightTemplate::CreateEntity()
{
    return new LightEntity;
}

bool LightTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor&, uint32_t flags, uint32_t)
{
    if (m_lightType > LIGHT_DIRECTIONAL_AMBIENT)
        return false;
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & kLightTemplateDrawWhite) == 0)
        GetWireframeColor().ToVector(color);
    if (gRenderer == nullptr)
        return true;
    switch (m_lightType)
    {
    case LIGHT_POINT: gRenderer->DebugDrawPointLight(matrix, color, 0.3f, 1.0f); break;
    case LIGHT_SPOT: gRenderer->DebugDrawSpotLight(matrix, color, 0.3f, 1.0f, 30.0f); break;
    case LIGHT_TUBE: gRenderer->DebugDrawTubeLight(matrix, color, 0.3f, 1.0f, 1.0f); break;
    default: gRenderer->DebugDrawDirectionalAmbientLight(matrix, color); break;
    }
    return true;
}

bool LightTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    return DrawDebugShape(matrix, GetWireframeColor(), flags, 0);
}
