// The renderer's settings inside the user configuration ("Renderer config"). Main thread; the
// renderer reads copies.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Reflected renderer settings; a change of the quality level re-applies the graphics settings.
class RendererConfigContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(RendererConfigContainer, RTTIPolyBaseClass)

public:
    static constexpr uint32_t kQualityLevelCount = 5; // "Ultra low" to "Very high"
    static constexpr uint32_t kMaxQualityLevel = kQualityLevelCount - 1;

    RendererConfigContainer() { SetDefaults(); }
    void SetDefaults();

    // Null (everything changed) or "GFX quality level": the serious graphics settings again.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // The enumerations index name lists and renderer tables: values from a file are bounded.
    void OnPostLoad(uint32_t flags) override;

    uint32_t m_msaaMode;
    uint32_t m_gfxQualityLevel;
    bool m_gpuSync;
    bool m_vSync;
    bool m_displayShadowDebugInfo;
    bool m_displayEntityNames;
    bool m_enableShadowMap;
    bool m_enableShadowMapFiltering;
    bool m_enableFullScreenEffects;
    bool m_enableRefraction;
    bool m_enableOutlines;
    uint32_t m_shadowMapSize;
    float m_semiResolutionScreenScale; // the screen resolution scale, 0.1 to 1.0
    float m_brightness;
    float m_screenScaleX;
    float m_screenScaleY;
};
