// PhysicalEffectEntity: the entity a PhysicalEffectTemplate makes. It runs from its post-create
// init until its template is applied again; its rendering context carries the running state to the
// render thread. The pieces' simulation belongs to a physics world this game does not have. Main
// thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that plays a physical effect.
class PhysicalEffectEntity : public Entity
{
    RTTI_DECLARE_CLASS(PhysicalEffectEntity, Entity)

public:
    // Render flag bits of every physical effect entity, and those a re-applied template sets.
    static constexpr uint32_t kConstructionRenderFlags = 0x120;
    static constexpr uint32_t kReappliedRenderFlags = 0xE0;

    PhysicalEffectEntity();

    void PostCreateInit() override;
    void RefreshRendering() override;
    EntityRenderingContext* CreateRenderingContext() override;

    bool IsRunning() const { return m_running; }

private:
    bool m_running = false;
};
