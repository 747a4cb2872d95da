// LightTemplate: fixes the kind of light of the light entities made from it. Properties are built
// and entities created on the main thread.
#pragma once

#include "scene/templates/EntityTemplate.h"

#include <cstdint>

// Template of light entities (type id 8).
class LightTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(LightTemplate, EntityTemplate)

public:
    enum LightType : uint32_t
    {
        LIGHT_POINT = 0,
        LIGHT_SPOT = 1,
        LIGHT_TUBE = 2,
        LIGHT_DIRECTIONAL_AMBIENT = 3,
    };

    LightTemplate();

    const char* GetTemplateClassName() const override { return "LightTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "LightEntity"; }
    // The light's shape with fixed values (white with flag 2, else the wireframe colour); false for
    // an unknown light type.
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    // The shape in the wireframe colour.
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;

    uint32_t GetLightType() const { return m_lightType; }

private:
    uint32_t m_lightType = LIGHT_POINT;
};
