#include "effects/particles/ParticleEntity.h"

#include "core/reflection/RTTITypedProperty.h"
#include "effects/particles/ParticleEntityRenderingContext.h"
#include "effects/particles/ParticleSpawner.h"
#include "renderer/NorvexRenderer.h"
#include "scene/kinds/ParticleTemplate.h"

RTTI_DEFINE_CLASS_TABLE(ParticleEntity, Entity)

const BoundingBox4 ParticleEntity::kUnitBox(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));

namespace
{
// Mesh flag bits of a particle system and the render flag bits they become.
struct MeshFlagMirror
{
    uint32_t meshBit;
    uint32_t renderBit;
};
constexpr MeshFlagMirror kMirrors[] = {{0x1, 0x20}, {0x8, 0x80}, {0x2, 0x40}};
} // namespace

void ParticleEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ParticleEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Spawn in editor", &C::m_spawnInEditor));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Spawn in game", &C::m_spawnInGame));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Display real bounding box", &C::m_displayRealBoundingBox));
}

ParticleEntity::ParticleEntity()
{
    SetRenderFlags(GetRenderFlags() | kConstructionRenderFlags);
}

ParticleEntity::~ParticleEntity()
{
    postDeleteObject(m_customSpawner);
}

ParticleEntityRenderingContext* ParticleEntity::GetParticleContext() const
{
    return static_cast<ParticleEntityRenderingContext*>(GetRenderingContext());
}

void ParticleEntity::StartSpawning()
{
    m_spawning = true;
    if (ParticleEntityRenderingContext* context = GetParticleContext())
        context->PostRestart();
}

void ParticleEntity::StopSpawning()
{
    m_spawning = false;
    if (ParticleEntityRenderingContext* context = GetParticleContext())
        context->PostStop();
}

void ParticleEntity::SetSpeedMultiplier(float multiplier)
{
    if (ParticleEntityRenderingContext* context = GetParticleContext())
        context->PostSetSpeedMultiplier(multiplier);
}

void ParticleEntity::SetCustomSpawner(ParticleSpawner* spawner)
{
    if (spawner == m_customSpawner)
        return;
    postDeleteObject(m_customSpawner);
    m_customSpawner = spawner;
    if (ParticleEntityRenderingContext* context = GetParticleContext(); context != nullptr && spawner != nullptr)
        context->PostSetSpawner(spawner);
}

void ParticleEntity::ApplySystem(ParticleEntityRenderingContext* context, uint8_t gameStartFlag)
{
    m_gameStartFlag = gameStartFlag;
    auto* const particleTemplate = dynamic_cast<ParticleTemplate*>(GetTemplate());
    if (context == nullptr || particleTemplate == nullptr)
        return;
    // A template read on the resource thread keeps its particles' mesh only when that had come in
    // already; the system built here would otherwise draw no mesh for its whole life.
    particleTemplate->GetSystem().WaitForMeshTemplate();
    context->RebuildSystem(particleTemplate->GetSystem(), GetGlobalLocationMatrix(), gameStartFlag);
    uint32_t renderFlags = GetRenderFlags();
    for (const MeshFlagMirror& mirror : kMirrors)
        renderFlags = (context->GetMeshFlags() & mirror.meshBit) != 0 ? renderFlags | mirror.renderBit
                                                                       : renderFlags & ~mirror.renderBit;
    SetRenderFlags(renderFlags);
    context->PostSetLifeMultiplier(m_lifeMultiplier);
    if (m_customSpawner != nullptr)
        context->PostSetSpawner(m_customSpawner);
    context->SetColorMultiplier(m_colorMultiplier);
}

void ParticleEntity::InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags)
{
    Entity::InitFromTemplate(entityTemplate, creationFlags);
    SetLocalBoundingBox(kUnitBox);
}

void ParticleEntity::ChangeTemplate(EntityTemplate* entityTemplate)
{
    Entity::ChangeTemplate(entityTemplate);
    SetLocalBoundingBox(kUnitBox);
}

EntityRenderingContext* ParticleEntity::CreateRenderingContext()
{
    auto* const particleTemplate = dynamic_cast<ParticleTemplate*>(GetTemplate());
    if (gRenderer == nullptr || particleTemplate == nullptr)
        return nullptr;
    auto* const context = new ParticleEntityRenderingContext(*gRenderer, !particleTemplate->IsOffscreenProcessing());
    ApplySystem(context, m_gameStartFlag);
    if (m_spawning)
        context->PostRestart();
    return context;
}

void ParticleEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    ParticleEntityRenderingContext* const context = GetParticleContext();
    if (context == nullptr)
        return;
    ApplySystem(context, 1);
    if (m_spawnInGame)
    {
        m_spawning = true;
        context->PostRestart();
    }
}

void ParticleEntity::RebuildAndRestart()
{
    ParticleEntityRenderingContext* const context = GetParticleContext();
    if (context == nullptr)
        return;
    ApplySystem(context, 0);
    if (m_spawning)
        context->PostRestart();
}

void ParticleEntity::OnPropertiesChanged()
{
    Entity::OnPropertiesChanged();
    RebuildAndRestart();
}

void ParticleEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    SetLocalBoundingBox(kUnitBox);
    RebuildAndRestart();
}

void ParticleEntity::RefreshRendering()
{
    ParticleEntityRenderingContext* const context = GetParticleContext();
    if (context == nullptr)
        return;
    ApplySystem(context, 0);
    if (m_spawnInEditor)
    {
        m_spawning = true;
        context->PostRestart();
    }
}

void ParticleEntity::DrawDebug(uint32_t flags)
{
    Entity::DrawDebug(flags);
    if (gRenderer == nullptr)
        return;
    Vector color(1.0f, 1.0f, 1.0f, 1.0f);
    if ((flags & 2) == 0 && GetTemplate() != nullptr)
        GetTemplate()->GetWireframeColor().ToVector(color);
    gRenderer->DebugDrawBox(kUnitBox, GetGlobalLocationMatrix(), color);
    BoundingBox4 measured;
    if (m_displayRealBoundingBox && GetParticleContext() != nullptr && GetParticleContext()->ReadBounds(measured))
        gRenderer->DebugDrawBox(measured, GetGlobalLocationMatrix(), color);
}
