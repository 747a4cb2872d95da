#include "renderer/LightRenderData.h"

#include "renderer/RendererObjectHandle.h"

#include <algorithm>
#include <cmath>

DirectionalAmbientList gDirectionalAmbientLights;

namespace
{
constexpr float kLightDegreesToRadians = 3.14159265358979f / 180.0f;

float RowLength(const Vector& row)
{
    return std::sqrt(row.x * row.x + row.y * row.y + row.z * row.z);
}

float Determinant3(const Matrix& m)
{
    const Vector& a = m.rows[0];
    const Vector& b = m.rows[1];
    const Vector& c = m.rows[2];
    return a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
}

// Only the volumes drawn in the light's own frame (cones, cylinders) turn inside out with it.
bool IsMirroredTransform(uint32_t type, const Matrix& transform)
{
    return (type == LightRenderData::TYPE_SPOT || type == LightRenderData::TYPE_TUBE) && Determinant3(transform) < 0.0f;
}

float Reciprocal(float value)
{
    // A zero scale has no reciprocal; it stays zero rather than filling the mask matrix with infinities.
    return value != 0.0f ? 1.0f / value : 0.0f;
}
} // namespace

LightRenderData::LightRenderData(uint32_t type) : m_type(type)
{
}

void LightRenderData::ComputeAttenuation(uint32_t type, const Matrix& transform, float startFalloff, float endFalloff,
                                         float spotWidth, float spotSoftness, float constants[4])
{
    const float scale = RowLength(type == TYPE_TUBE ? transform.rows[0] : transform.rows[2]);
    const float outer = endFalloff * scale;
    float inner = startFalloff * scale;
    if (!(inner <= outer - 0.01f))
        inner = outer - 0.01f;
    const float squares = inner * inner - outer * outer;
    // Radii whose squares meet (an outer radius of 0 or 0.005) would divide by zero: no falloff then.
    const float a = squares != 0.0f ? 1.0f / squares : 0.0f;
    constants[0] = std::isfinite(a) ? a : 0.0f;
    constants[1] = -(outer * outer * constants[0]);
    constants[2] = 0.0f;
    constants[3] = 0.0f;
    if (type != TYPE_SPOT)
        return;
    const float width = spotWidth * kLightDegreesToRadians;
    const float border = std::clamp(1.0f - spotSoftness, 0.0f, 0.999f);
    const float edge = std::cos(width);
    const float span = std::cos(width * border) - edge;
    // A cone of width 0 has no span between its edge and its border: it lights nothing.
    if (span == 0.0f || !std::isfinite(span))
        return;
    constants[2] = 1.0f / span;
    constants[3] = -(edge * constants[2]);
}

void LightRenderData::UpdateAttenuation()
{
    ComputeAttenuation(m_type, m_transform, m_startFalloff, m_endFalloff, m_spotWidth, m_spotSoftness, m_attenuation);
}

void LightRenderData::SetCommon(uint32_t type, const Vector& color, float specular, float startFalloff,
                                float endFalloff, TextureHolder* mask, const Vector& maskRotation,
                                const Vector& maskScale)
{
    m_type = type;
    m_color = color;
    m_specular = specular;
    m_startFalloff = startFalloff;
    m_endFalloff = endFalloff;
    RendererObjectHandle::Replace(m_mask, mask);
    m_maskRotation = maskRotation;
    m_maskScaleReciprocal =
        Vector(Reciprocal(maskScale.x), Reciprocal(maskScale.y), Reciprocal(maskScale.z), Reciprocal(maskScale.w));
    // The transform may have come while the light was of another type.
    m_mirrored = IsMirroredTransform(type, m_transform) ? 1 : 0;
}

void LightRenderData::SetPoint(const Vector& color, float specular, float startFalloff, float endFalloff,
                               TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale)
{
    SetCommon(TYPE_POINT, color, specular, startFalloff, endFalloff, mask, maskRotation, maskScale);
    Unlink();
    UpdateAttenuation();
}

void LightRenderData::SetSpot(const Vector& color, float specular, float startFalloff, float endFalloff,
                              float spotWidth, float spotSoftness, TextureHolder* mask, const Vector& maskRotation,
                              const Vector& maskScale)
{
    SetCommon(TYPE_SPOT, color, specular, startFalloff, endFalloff, mask, maskRotation, maskScale);
    m_spotWidth = spotWidth;
    m_spotSoftness = spotSoftness;
    Unlink();
    UpdateAttenuation();
}

void LightRenderData::SetTube(const Vector& color, float specular, float startFalloff, float endFalloff,
                              float tubeLength, TextureHolder* mask, const Vector& maskRotation,
                              const Vector& maskScale)
{
    SetCommon(TYPE_TUBE, color, specular, startFalloff, endFalloff, mask, maskRotation, maskScale);
    m_tubeLength = tubeLength;
    Unlink();
    UpdateAttenuation();
}

void LightRenderData::SetDirectionalAmbient(const Vector& color, const Vector& secondaryColor, const Vector& sideColor,
                                            float specular, uint32_t twoSidedMode, float wrapAround,
                                            TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale,
                                            uint32_t lightMask)
{
    SetCommon(TYPE_DIRECTIONAL_AMBIENT, color, specular, m_startFalloff, m_endFalloff, mask, maskRotation, maskScale);
    m_secondaryColor = secondaryColor;
    m_sideColor = sideColor;
    m_twoSidedMode = uint8_t(twoSidedMode);
    m_wrapAround = wrapAround;
    m_lightMask = lightMask;
    Link();
    ++gDirectionalAmbientLights.changeCounter;
    UpdateAttenuation();
}

void LightRenderData::SetTransform(const Matrix& transform)
{
    m_transform = transform;
    UpdateAttenuation();
    if (m_linked)
        ++gDirectionalAmbientLights.changeCounter;
    m_mirrored = IsMirroredTransform(m_type, transform) ? 1 : 0;
}

void LightRenderData::Release()
{
    RendererObjectHandle::Release(m_mask);
    Unlink();
}

void LightRenderData::Link()
{
    if (m_linked)
        return;
    DirectionalAmbientList& list = gDirectionalAmbientLights;
    m_previous = list.tail;
    m_next = nullptr;
    if (list.tail != nullptr)
        list.tail->m_next = this;
    else
        list.head = this;
    list.tail = this;
    m_linked = 1;
    ++list.changeCounter;
}

void LightRenderData::Unlink()
{
    if (!m_linked)
        return;
    DirectionalAmbientList& list = gDirectionalAmbientLights;
    if (m_previous != nullptr)
        m_previous->m_next = m_next;
    else
        list.head = m_next;
    if (m_next != nullptr)
        m_next->m_previous = m_previous;
    else
        list.tail = m_previous;
    m_previous = nullptr;
    m_next = nullptr;
    m_linked = 0;
    ++list.changeCounter;
}
