#include "scene/kinds/TriggerTemplate.h"

#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityConstants.h"
#include "scene/kinds/TriggerEntity.h"

namespace
{
const char* const kShapeNames[] = {"Box", "Sphere", nullptr};
const char* const kModeNames[] = {"Position inside", "Whole entity inside", "Just touch", "Position with radius",
                                  nullptr};
// The flags of "Scale" as editors and records see them.
constexpr uint32_t kScaleFlags = 64;
// Debug-draw flag: draw in white whatever the wireframe colour says.
constexpr uint32_t kDrawWhite = 2;
} // namespace

RTTI_DEFINE_CLASS_TABLE(TriggerTemplate, EntityTemplate)

void TriggerTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = TriggerTemplate;
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Trigger shape", &C::m_shape, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kShapeNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Trigger mode", &C::m_mode, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Scale", &C::m_scale, kScaleFlags));
}

TriggerTemplate::TriggerTemplate()
{
    SetTypeId(ENTITY_TRIGGER);
    HDRColor green;
    green.FromVector(Vector(0.0f, 1.0f, 0.0f, 1.0f));
    SetWireframeColor(green);
}

Entity* TriggerTemplate::CreateEntity()
{
    return new TriggerEntity;
}

bool TriggerTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor&, uint32_t flags, uint32_t)
{
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & kDrawWhite) == 0)
        GetWireframeColor().ToVector(color);
    Matrix scale;
    scale.LoadScale(m_scale);
    Matrix shape = matrix;
    shape.MulInPlace(scale);
    if (gRenderer == nullptr)
        return true;
    if (m_shape == SHAPE_BOX)
        gRenderer->DebugDrawBox(GetStaticBoundingBox(), shape, color);
    else if (m_shape == SHAPE_SPHERE)
        gRenderer->DebugDrawShape(shape, color);
    return true;
}

bool TriggerTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    return DrawDebugShape(matrix, GetWireframeColor(), flags, 0);
}
