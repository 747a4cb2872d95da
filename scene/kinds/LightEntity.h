// LightEntity: a light placed in a scene. It keeps its renderer-side light object up to date through
// render commands (every property change, post-load and refresh re-posts the whole description,
// every transform update the matrix), sizes its own bounding box from the light's reach and hands
// the light to the frame's light list when drawn. Main thread only; the light object lives on the
// render side and dies there.
#pragma once

#include "core/math/HDRColor.h"
#include "core/strings/NameString.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class RendererLightWrapper;
class ResourceTexture;

// A light entity (template kind 8).
class LightEntity : public Entity
{
    RTTI_DECLARE_CLASS(LightEntity, Entity)

public:
    LightEntity();
    ~LightEntity() override;

    // Entity slots.
    void OnPropertyChanged(const RTTIProperty* property) override;
    void OnPostLoad(uint32_t flags) override;
    void DrawDebug(uint32_t flags) override;
    bool ConstantHook45() const override { return false; }
    bool RenderWithoutContext(uint32_t flags) override;
    void DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color) override;
    void UpdateTransform() override;
    void RefreshRendering() override { UpdateLight(true); }

    // Re-posts the whole light by the template's "Light type", sizes the box and pushes the transform;
    // `blocking` loads the mask texture through the resource thread and waits for it.
    void UpdateLight(bool blocking);

    RendererLightWrapper* GetLightObject() const { return m_light; }
    float GetNearRange() const;
    float GetFarRange() const;

private:
    uint32_t GetLightType() const;
    void ReleaseMask();

    HDRColor m_color;
    float m_specular = 1.0f;
    float m_startFalloff = 0.5f;
    float m_endFalloff = 1.0f;
    float m_spotWidth = 30.0f;
    float m_spotSoftness = 0.5f;
    float m_tubeLength = 2.0f;
    uint32_t m_twoSidedMode = 0;
    float m_wrapAround = 0.0f;
    HDRColor m_secondaryColor;
    HDRColor m_sideColor;
    NameString m_maskName;
    Vector m_maskRotation;
    Vector m_maskScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    ResourceTexture* m_mask = nullptr;
    RendererLightWrapper* m_light = nullptr;
};
