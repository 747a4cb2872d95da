// The scene render list: the collected and late lists of a frame and the entity passes that write
// their render commands. Main thread only; the lists are emptied at the end of the frame's scene.
#include "scene/entities/EntityManager.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityLayerSystem.h"

#include <unordered_set>

namespace
{
constexpr uint32_t kMainThread = 0;

void RenderEntity(Entity* entity, uint32_t passFlags, uint32_t frameNumber)
{
    entity->Render(passFlags, frameNumber);
    if ((passFlags & EntityManager::kPassSecondDraw) != 0)
        entity->RenderSecondDraw(entity->GetRenderFlags() | passFlags);
}

uint32_t ViewModePassBits(uint32_t viewModeBits, uint32_t tacticalBits)
{
    return ((viewModeBits & EntityManager::kViewTactical) != 0 ? tacticalBits : 0u) |
           ((viewModeBits & EntityManager::kViewTacticalExtended) != 0 ? EntityManager::kPassTacticalExtended : 0u);
}

#ifdef NORVEX_THREAD_CHECKS
// An entity with both late bits joins the late list but neither late pass: data may rely on that,
// so it stays, but it is said once per entity where the checks run.
void ReportUndrawnLateEntity(const Entity* entity)
{
    static std::unordered_set<const Entity*> reported;
    if (reported.insert(entity).second)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE,
                         "Entity %s has both late render flags (0x%X): it is drawn by neither late pass",
                         entity->GetName(), entity->GetFlags());
}
#endif
} // namespace

void EntityManager::CollectVisibleEntities(const Vector* frustumPlanes, const BoundingBox4& frustumBox,
                                           uint32_t viewModeBits, uint8_t detailLevel)
{
    VisibleEntityGatherOptions options;
    options.frustumPlanes = frustumPlanes;
    options.frustumBox = frustumBox;
    EntityLayerMask mask;
    GetLayerSystem().GetVisibleLayerMask(mask);
    options.layerMask = mask.bytes;
    options.excludedFlags = ENTITYFLAG_HIDDEN;
    options.excludedViews = viewModeBits;
    options.qualityLevel = detailLevel;
    GatherVisibleEntities(options);
}

void EntityManager::RenderFlag8Entities(uint32_t passFlags, uint32_t viewModeBits)
{
    const uint32_t flags = passFlags | ViewModePassBits(viewModeBits, kPassTacticalHooks);
    for (Entity* entity : m_visibleList)
        entity->RenderIfFlag8(flags);
}

void EntityManager::RenderCollected(uint32_t passFlags, uint32_t viewModeBits, uint8_t clear, const Vector* color,
                                    uint32_t frameNumber)
{
    const uint32_t flags = passFlags | ViewModePassBits(viewModeBits, kPassTacticalScene);
    m_deferredRenderList.Clear();
    gRenderer->BeginGather();
    for (Entity* entity : m_visibleList)
    {
        if ((entity->GetFlags() & kLateMask) != 0)
        {
#ifdef NORVEX_THREAD_CHECKS
            if ((entity->GetFlags() & kLateMask) == kLateMask)
                ReportUndrawnLateEntity(entity);
#endif
            m_deferredRenderList.Add(entity);
        }
        else
            RenderEntity(entity, flags, frameNumber);
    }
    gRenderer->RenderGathered(flags, clear, color);
    gProfiler.AddValue(PROFILER_VISIBLE_ENTITIES, float(m_visibleList.Count()), kMainThread);
}

void EntityManager::RenderLate(uint32_t passFlags, uint32_t mask, uint32_t value, uint32_t frameNumber)
{
    bool any = false;
    for (const Entity* entity : m_deferredRenderList)
        any = any || (entity->GetFlags() & mask) == value;
    if (!any)
        return;
    gRenderer->BeginGather();
    for (Entity* entity : m_deferredRenderList)
        if ((entity->GetFlags() & mask) == value)
            RenderEntity(entity, passFlags, frameNumber);
    gRenderer->RenderGathered(passFlags | kPassLate, 0, nullptr);
}
