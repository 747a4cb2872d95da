// ParticleTemplate: the template (type 6) that embeds a ParticleSystem's emitter parameters. It
// builds the particle shader variant when its body loads or a property changes and drops it when
// the template unloads. Tools preview it through a ParticleSpawner. Main thread (the resource
// thread loads the body).
#pragma once

#include "effects/ParticleSystem.h"
#include "scene/templates/EntityTemplate.h"

// Template of particle entities.
class ParticleTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(ParticleTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 6;

    ParticleTemplate();

    const char* GetTemplateClassName() const override { return "ParticleTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "ParticleEntity"; }
    // The shader variant is rebuilt before the change reaches the entities.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // The body, then the shader variant when it was read.
    bool DoLoad() override;
    void OnUnload() override;
    bool ReadsBody() const override { return false; }
    EntityTemplatePreview* CreatePreviewInstance() override;
    void DestroyPreviewInstance(EntityTemplatePreview* instance) override;
    bool DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance) override;

    ParticleSystem& GetSystem() { return m_system; }
    const ParticleSystem& GetSystem() const { return m_system; }

private:
    bool m_offscreenProcessing = false;
    ParticleSystem m_system;
};
