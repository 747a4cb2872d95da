// LightRenderData: the render data of one light (point, spot, tube or directional ambient), owned by
// a RendererLightWrapper or an effect's light element, and the global list of directional-ambient
// lights that the ambient cube is drawn from. Render thread only.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class TextureHolder;

// One light as the renderer draws it.
class LightRenderData
{
public:
    enum Type : uint32_t
    {
        TYPE_POINT = 0,
        TYPE_SPOT = 1,
        TYPE_TUBE = 2,
        TYPE_DIRECTIONAL_AMBIENT = 3,
    };

    explicit LightRenderData(uint32_t type = TYPE_POINT);
    // Releases the mask and leaves the list.
    ~LightRenderData() { Release(); }
    LightRenderData(const LightRenderData&) = delete;
    LightRenderData& operator=(const LightRenderData&) = delete;

    // Each setter takes a reference of its own on the mask (null for none). Point, spot and tube
    // leave the directional-ambient list; directional ambient joins it at the tail.
    void SetPoint(const Vector& color, float specular, float startFalloff, float endFalloff, TextureHolder* mask,
                  const Vector& maskRotation, const Vector& maskScale);
    void SetSpot(const Vector& color, float specular, float startFalloff, float endFalloff, float spotWidth,
                 float spotSoftness, TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);
    void SetTube(const Vector& color, float specular, float startFalloff, float endFalloff, float tubeLength,
                 TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);
    void SetDirectionalAmbient(const Vector& color, const Vector& secondaryColor, const Vector& sideColor,
                               float specular, uint32_t twoSidedMode, float wrapAround, TextureHolder* mask,
                               const Vector& maskRotation, const Vector& maskScale, uint32_t lightMask);
    void SetTransform(const Matrix& transform);
    // Drops the mask reference and leaves the list.
    void Release();

    // Attenuation constants: a x d^2 + b is 1 at the inner radius and 0 at the outer one; for spots
    // c x cos(angle) + d is 0 at the cone's edge and 1 inside its soft border.
    static void ComputeAttenuation(uint32_t type, const Matrix& transform, float startFalloff, float endFalloff,
                                   float spotWidth, float spotSoftness, float constants[4]);

    const Matrix& GetTransform() const { return m_transform; }
    const Vector& GetColor() const { return m_color; }
    const Vector& GetSecondaryColor() const { return m_secondaryColor; }
    const Vector& GetSideColor() const { return m_sideColor; }
    const float* GetAttenuation() const { return m_attenuation; }
    const Vector& GetMaskRotation() const { return m_maskRotation; }
    const Vector& GetMaskScaleReciprocal() const { return m_maskScaleReciprocal; }
    float GetSpecular() const { return m_specular; }
    float GetStartFalloff() const { return m_startFalloff; }
    float GetEndFalloff() const { return m_endFalloff; }
    float GetSpotWidth() const { return m_spotWidth; }
    float GetSpotSoftness() const { return m_spotSoftness; }
    float GetTubeLength() const { return m_tubeLength; }
    uint32_t GetType() const { return m_type; }
    TextureHolder* GetMask() const { return m_mask; }
    float GetWrapAround() const { return m_wrapAround; }
    uint32_t GetLightMask() const { return m_lightMask; }
    uint8_t GetTwoSidedMode() const { return m_twoSidedMode; }
    bool IsLinked() const { return m_linked != 0; }
    bool IsMirrored() const { return m_mirrored != 0; }
    LightRenderData* GetNext() const { return m_next; }

private:
    void SetCommon(uint32_t type, const Vector& color, float specular, float startFalloff, float endFalloff,
                   TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);
    void UpdateAttenuation();
    void Link();
    void Unlink();

    Matrix m_transform = Matrix::ONE;
    Vector m_color = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Vector m_secondaryColor;
    Vector m_sideColor;
    float m_attenuation[4] = {};
    Vector m_maskRotation;
    Vector m_maskScaleReciprocal = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    float m_specular = 1.0f;
    float m_startFalloff = 0.0f;
    float m_endFalloff = 0.0f;
    float m_spotWidth = 0.0f; // degrees
    float m_spotSoftness = 0.0f;
    float m_tubeLength = 0.0f;
    uint32_t m_type;
    TextureHolder* m_mask = nullptr;
    LightRenderData* m_previous = nullptr;
    LightRenderData* m_next = nullptr;
    float m_wrapAround = 0.0f;
    uint32_t m_lightMask = 0;
    uint8_t m_twoSidedMode = 0;
    uint8_t m_linked = 0;
    uint8_t m_mirrored = 0;
};

// The directional-ambient lights in the order they joined, and a counter of every change to them.
struct DirectionalAmbientList
{
    LightRenderData* head = nullptr;
    LightRenderData* tail = nullptr;
    uint32_t changeCounter = 0;
};

// Render thread.
extern DirectionalAmbientList gDirectionalAmbientLights;
