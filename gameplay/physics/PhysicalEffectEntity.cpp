#include "gameplay/physics/PhysicalEffectEntity.h"

#include "effects/PhysicalEffectRenderingContext.h"
#include "renderer/NorvexRenderer.h"

RTTI_DEFINE_CLASS_TABLE(PhysicalEffectEntity, Entity)

void PhysicalEffectEntity::BuildClassProperties(RTTIPropertiesBase&) {}

PhysicalEffectEntity::PhysicalEffectEntity()
{
    SetRenderFlags(GetRenderFlags() | kConstructionRenderFlags);
}

void PhysicalEffectEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    m_running = true;
    RecreateRenderingContext(true);
}

void PhysicalEffectEntity::RefreshRendering()
{
    SetRenderFlags(GetRenderFlags() | kReappliedRenderFlags);
    m_running = false;
}

EntityRenderingContext* PhysicalEffectEntity::CreateRenderingContext()
{
    if (gRenderer == nullptr)
        return nullptr;
    auto* const context = new PhysicalEffectRenderingContext(*gRenderer, GetTemplate(), m_running);
    if (m_running)
        context->PostUpdate();
    return context;
}
