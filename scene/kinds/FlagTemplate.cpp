#include "scene/kinds/FlagTemplate.h"

#include "renderer/NorvexRenderer.h"
#include "scene/kinds/FlagEntity.h"

namespace
{
// The marker's box at size 1: a post 4.8 units high, a little deeper towards its flag.
const Vector kBaseMin(-1.5f, 0.0f, -1.5f, 1.0f);
const Vector kBaseMax(1.5f, 4.8f, 1.95f, 1.0f);
} // namespace

RTTI_DEFINE_CLASS(FlagTemplate, EntityTemplate)

void FlagTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<FlagTemplate, float>("Size", &FlagTemplate::m_size));
}

FlagTemplate::FlagTemplate()
{
    SetTypeId(kTypeId);
    HDRColor color;
    color.FromVector(Vector(0.3f, 0.3f, 1.0f, 1.0f));
    SetWireframeColor(color);
    ComputeBoundingBox();
}

Entity* FlagTemplate::CreateEntity()
{
    return new FlagEntity;
}

void FlagTemplate::ComputeBoundingBox()
{
    SetStaticBoundingBox(BoundingBox4(Vector(kBaseMin.x * m_size, kBaseMin.y * m_size, kBaseMin.z * m_size, 1.0f),
                                      Vector(kBaseMax.x * m_size, kBaseMax.y * m_size, kBaseMax.z * m_size, 1.0f)));
}

void FlagTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    ComputeBoundingBox();
    EntityTemplate::OnPropertyChanged(property);
}

bool FlagTemplate::DrawMarker(const Matrix& matrix, uint32_t flags)
{
    Matrix scale;
    scale.LoadUniformScale(m_size);
    Matrix marker;
    marker.Mul(matrix, scale);
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & 2) == 0)
        GetWireframeColor().ToVector(color);
    if (gRenderer != nullptr)
        gRenderer->DebugDrawMarker(marker, color, (flags & 4) != 0 ? 1 : 0);
    return true;
}

bool FlagTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor&, uint32_t flags, uint32_t)
{
    return DrawMarker(matrix, flags);
}

bool FlagTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    return DrawMarker(matrix, flags);
}
