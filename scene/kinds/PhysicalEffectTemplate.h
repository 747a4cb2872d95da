// PhysicalEffectTemplate: the template (type 16) that embeds one PhysicalEffect description and
// makes sure the mesh and particle templates that the description names are available. Main
// thread only.
#pragma once

#include "effects/particles/PhysicalEffect.h"
#include "scene/templates/EntityTemplate.h"

// Template of physical effect entities.
class PhysicalEffectTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(PhysicalEffectTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 16;

    PhysicalEffectTemplate();

    const char* GetTemplateClassName() const override { return "PhysicalEffectTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "PhysicalEffectEntity"; }
    // Loads the mesh template and requests the particle template that the description names.
    void PrepareDependencies() override;
    // The flags go to this template and to the two named templates the manager knows.
    void SetResourceFlags(uint32_t flags) override;
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;
    bool ReadsBody() const override { return false; }

    PhysicalEffect& GetEffect() { return m_effect; }
    const PhysicalEffect& GetEffect() const { return m_effect; }

private:
    PhysicalEffect m_effect;
    bool m_passingFlags = false;
};
