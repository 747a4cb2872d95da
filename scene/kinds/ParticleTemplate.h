// ParticleTemplate: the template (type 6) that embeds a ParticleSystem's emitter parameters. It
// builds the particle shader variant when its body loads or a property changes and drops it when
// the template unloads. Tools play it without an entity through a ParticleTemplatePreview, which
// owns one particle context on the render thread. Main thread (the resource thread loads the body).
#pragma once

#include "effects/particles/ParticleSystem.h"
#include "scene/templates/EntityTemplate.h"

class ParticleSystemContext;

// A particle system played without an entity: its context, restarted at creation, moved and drawn
// each frame and destroyed with the preview.
class ParticleTemplatePreview : public EntityTemplatePreview
{
public:
    explicit ParticleTemplatePreview(const ParticleSystem& system);
    // Posts the context's destruction, then deletes the preview.
    void Destroy() override;
    ParticleSystemContext* GetContext() const { return m_context; }

private:
    ParticleSystemContext* m_context;
};

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
    // A mesh that the body found not yet in is waited for first.
    EntityTemplatePreview* CreatePreviewInstance() override;
    void DestroyPreviewInstance(EntityTemplatePreview* instance) override;
    bool DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance) override;

    bool IsOffscreenProcessing() const { return m_offscreenProcessing; }
    ParticleSystem& GetSystem() { return m_system; }
    const ParticleSystem& GetSystem() const { return m_system; }

private:
    bool m_offscreenProcessing = false;
    ParticleSystem m_system;
};
