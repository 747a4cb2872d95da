#include "scene/entities/EntityManager.h"

#include "core/console/GameConsole.h"
#include "core/time/Time.h"
#include "engine/Game.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "online/MultiplayerEngine.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityInitQueue.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/FrustumBoxClassifier.h"
#include "scene/entities/SceneEntity.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

EntityManager gEntityManager;

namespace
{
// Highest y of the current bounds.
constexpr float kMaxCurrentHeight = 200.0f;
// Candidates of one cell taken at a time by the visible gather.
constexpr int32_t kGatherChunk = 64;
struct GatherCandidate
{
    Entity* entity;
    int side;
};
// The rest of the gather's test once a candidate's world box meets the view: layer, flags, views,
// quality and, for a box across a plane, the entity's own box.
bool KeepsVisibleCandidate(const Entity* entity, int side, const VisibleEntityGatherOptions& options)
{
    const uint32_t layer = entity->GetLayer();
    if (options.layerMask != nullptr && (options.layerMask[layer >> 3] & (1u << (layer & 7))) == 0)
        return false;
    if ((entity->GetFlags() & options.excludedFlags) != 0 || (entity->GetViewVisibility() & options.excludedViews) != 0 ||
        entity->GetMinimumQualityLevel() > options.qualityLevel)
        return false;
    return side != FrustumBoxClassifier::kAcross ||
           entity->GetLocalBoundingBox().IntersectsFrustumTransformed(options.frustumPlanes,
                                                                     entity->GetGlobalLocationMatrix());
}
// Planes every point is inside, for a gather without a frustum.
const Vector kAcceptAll[6] = {Vector(0, 0, 0, 1), Vector(0, 0, 0, 1), Vector(0, 0, 0, 1),
                              Vector(0, 0, 0, 1), Vector(0, 0, 0, 1), Vector(0, 0, 0, 1)};

} // namespace

EntityManager::EntityManager() = default;

// The global manager dies among the other globals, in no set order, and destroying a scene calls
// into them (the shared shader preset name, templates, the renderer): the engine's close destroys
// the scene, so this frees only what the manager owns outright. A scene an early exit left behind
// stays for the process's end to reclaim.
EntityManager::~EntityManager()
{
    DeleteAllEntitySets();
    delete m_navigationGrid;
}

void EntityManager::Init(const BoundingBox4& sceneBounds, float cellSize)
{
    m_layerSystem = std::make_unique<EntityLayerSystem>();
    m_sceneBounds = sceneBounds;
    m_currentBounds = sceneBounds;
    if (m_currentBounds.max.y > kMaxCurrentHeight)
        m_currentBounds.max.y = kMaxCurrentHeight;
    m_cellSize = cellSize;
    m_initialized = true;
    NewScene();
}

void EntityManager::DestroyRoot()
{
    SceneEntity* const root = m_sceneRoot;
    if (root == nullptr)
        return;
    // The root goes first, so nothing below re-parents to it while it dies.
    m_sceneRoot = nullptr;
    if (root->GetReplicationRole() == ENTITYROLE_AUTHORITY)
    {
        DestroyEntity(root);
        return;
    }
    root->DestroyWithScene();
    // Whatever outlived the root had its cells emptied under it.
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        entity->LeaveEmptiedGrid();
}

void EntityManager::ForgetSceneEntries()
{
    // A scene of a few entities (a new scene made over one just emptied) leaves the indexes entry by
    // entry: wiping tables sized for the last large scene would touch every slot of them.
    if (m_liveEntityCount <= kFewEntitiesToForget)
        for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        {
            if (entity->GetName()[0] != 0)
                m_nameIndex.Remove(entity, entity->GetName());
            if (!entity->GetGUID().IsNull())
                m_guidIndex.Remove(entity, entity->GetGUID());
        }
    m_nameIndex.Clear();
    m_guidIndex.Clear();
    m_grid.DropEntries();
}

void EntityManager::NewScene()
{
    const Time start = Time::Now();
    SetNavigationGrid(nullptr);
    m_sceneName.clear();
    // Emptied first: each dying entity would otherwise search the lists for itself.
    ClearVisibleLists();
    DestroyRoot();
    // A preset a script chose for the old scene must not colour the next one.
    MeshEntity::ReturnAllMeshesToDefaultShaderPreset();
    m_nameIndex.Clear();
    m_guidIndex.Clear();
    m_creationCounter = 0;
    m_sceneRoot = new SceneEntity;
    m_sceneRoot->SetName("SCENE ROOT");
    m_grid.Build(m_sceneBounds, m_cellSize);
    GetLayerSystem().Reset();
    DeleteAllEntitySets();
    if (gRenderer != nullptr)
        gRenderer->InitSceneCellGrid(m_sceneBounds, m_cellSize);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NewScene in %f sec", (Time::Now() - start).ToSeconds());
}

void EntityManager::DestroyScene()
{
    SceneEntity* const root = m_sceneRoot;
    m_sceneRoot = nullptr;
    if (root != nullptr)
        root->Destroy();
    m_creationCounter = 0;
    m_sceneName.clear();
    DeleteAllEntitySets();
    // Later code may still ask for layers (masks of a frame in flight): GetLayerSystem makes a
    // fresh one on demand instead of handing out the deleted one.
    m_layerSystem.reset();
    m_grid.Build(m_sceneBounds, m_cellSize);
    SetNavigationGrid(nullptr);
    MeshEntity::TemporarySetShaderPresetForAllMeshes(NameString(), false);
}

EntityLayerSystem& EntityManager::GetLayerSystem()
{
    if (m_layerSystem == nullptr)
        m_layerSystem = std::make_unique<EntityLayerSystem>();
    return *m_layerSystem;
}

void EntityManager::DeleteAllEntitySets()
{
    m_entitySets.DeleteAllPointers();
}

void EntityManager::SetNavigationGrid(NavigationGrid* grid)
{
    if (m_navigationGrid != grid)
        delete m_navigationGrid;
    m_navigationGrid = grid;
}

void EntityManager::SetSceneHeightRange(float minY, float maxY)
{
    m_sceneBounds.min.y = minY;
    m_sceneBounds.max.y = maxY;
    m_grid.SetHeightRange(minY, maxY);
    if (gRenderer != nullptr)
        gRenderer->SetSceneCellRange(minY, maxY);
    m_currentBounds = m_sceneBounds;
    if (m_currentBounds.max.y > kMaxCurrentHeight)
        m_currentBounds.max.y = kMaxCurrentHeight;
}

bool EntityManager::RefuseCreation(EntityTemplate* entityTemplate, Entity* parent, uint32_t flags) const
{
    bool refused = false;
    if ((flags & ENTITYCREATION_MULTIPLAYER_AUTHORITY) != 0 && parent != nullptr &&
        parent->GetReplicationRole() != ENTITYROLE_AUTHORITY)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "CreateEntity MULTIPLAYER_AUTHORITY - parent is not replicable while child is template:%s "
                       "parent:%s",
                       entityTemplate->GetFileName(), parent->GetName());
        refused = true;
    }
    // Every refusal returns none: an entity past a limit would take no id and never replicate.
    if ((flags & ENTITYCREATION_MULTIPLAYER_STATIC) != 0)
    {
        if (m_staticMIDsHandedOut >= kStaticMIDCount)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                           "CreateEntity MULTIPLAYER_AUTHORITY - too many static multiplayer entities! Current limit: %d",
                           int(kStaticMIDCount));
            refused = true;
        }
    }
    else if ((flags & ENTITYCREATION_MULTIPLAYER_AUTHORITY) != 0 && m_dynamicMIDsInUse >= kDynamicMIDCount)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "CreateEntity MULTIPLAYER_AUTHORITY - too many dynamic multiplayer entities! Current limit: %d",
                       int(kDynamicMIDCount));
        refused = true;
    }
    if (refused)
        return true;
    if (m_liveEntityCount >= kMaxEntities)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Too many entities! Current limit: %d", int(kMaxEntities));
        return true;
    }
    return false;
}

Entity* EntityManager::CreateEntity(EntityTemplate* entityTemplate, Entity* parent, const Matrix& local,
                                    uint32_t flags, Player* player)
{
    if (entityTemplate == nullptr || RefuseCreation(entityTemplate, parent, flags))
        return nullptr;
    Entity* const entity = entityTemplate->CreateEntity();
    if (entity == nullptr)
        return nullptr;
    // Only the entity asked for: any its creation makes in turn is placed as usual. A held entity
    // takes its place from its record, so the pushes of its making, at the identity under the
    // root, are left out; the record's matrix, or PlaceHeldEntity, makes the one that counts.
    entity->m_gridPlacementHeld = m_holdNewEntitiesFromGrid ? Entity::kGridHeld | Entity::kTransformDeferred : 0;
    m_holdNewEntitiesFromGrid = false;
    ++m_creationCounter;
    entity->InitFromTemplate(entityTemplate, flags);
    entity->SetOwningPlayer(player);
    entity->SetLocalLocationMatrix(local);
    entity->SetParent(parent, false, true);
    entity->m_gridPlacementHeld &= uint8_t(~Entity::kTransformDeferred);
    if (gMultiplayerEngine != nullptr)
        gMultiplayerEngine->AssignEntityMultiplayerId(entity);
    if ((flags & ENTITYCREATION_MULTIPLAYER_AUTHORITY) != 0)
    {
        entity->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, true);
        gGame.GetEntityLists().QueueEntityCall(entity, GameEntityLists::CALL_NET_INIT);
    }
    return entity;
}

Entity* EntityManager::CreateEntity(const char* templateName, Entity* parent, const Matrix& local, uint32_t flags,
                                    Player* player)
{
    EntityTemplate* const entityTemplate = gTemplateManager.GetTemplate(templateName, true);
    if (entityTemplate == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to find template: %s", templateName != nullptr ? templateName : "");
        return nullptr;
    }
    return CreateEntity(entityTemplate, parent, local, flags, player);
}

Entity* EntityManager::CreateEntityInGame(const char* templateName, Entity* parent, const Matrix& local,
                                          uint32_t flags, Player* player)
{
    Entity* const entity = CreateEntity(templateName, parent, local, flags, player);
    if (entity != nullptr)
        InitInGame(entity);
    return entity;
}

void EntityManager::InitInGame(Entity* entity)
{
    // The script's "InitMPProperties" adds its fields to the record made here.
    if (entity->GetReplicationRole() != ENTITYROLE_LOCAL)
    {
        entity->InitMPProperties();
        entity->CallScriptMethod("InitMPProperties", 0);
    }
    CallOnInitHooks(entity);
}

Entity* EntityManager::CreateEntityInGameByGUID(const SimpleGUID& templateGUID, Entity* parent, const Matrix& local,
                                                uint32_t flags, Player* player)
{
    EntityTemplate* const entityTemplate = gTemplateManager.GetTemplateByGUID(templateGUID, true);
    if (entityTemplate == nullptr)
    {
        char text[SimpleGUID::kTextLength + 1];
        templateGUID.ToString(text, sizeof(text));
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to find template by guid: %s", text);
        return nullptr;
    }
    Entity* const entity = CreateEntity(entityTemplate, parent, local, flags, player);
    if (entity != nullptr)
        InitInGame(entity);
    return entity;
}

void EntityManager::CallOnInitHooks(Entity* entity)
{
    const bool opened = EntityInitQueue::Begin();
    char name[kMaxLookupName + 1];
    std::snprintf(name, sizeof(name), "%s*%u", entity->GetTemplateName(), m_creationCounter);
    entity->SetName(name);
    entity->PostCreateInit();
    if (GameDelegate* const delegate = gGame.GetDelegate())
        delegate->StartEntityScript(entity);
    if (opened)
        EntityInitQueue::Flush();
}

void EntityManager::DestroyEntity(Entity* entity)
{
    if (entity == nullptr)
        return;
    if (entity->GetReplicationRole() == ENTITYROLE_AUTHORITY)
    {
        if (gMultiplayerEngine != nullptr)
            gMultiplayerEngine->OnEntityDestroyed(entity);
        gGame.GetEntityLists().QueueEntityCall(entity, GameEntityLists::CALL_DESTROY);
        return;
    }
    entity->Destroy();
}

void EntityManager::DeleteEntity(Entity* entity)
{
    if (entity != nullptr)
        entity->Destroy();
}

void EntityManager::OnNetInit(Entity* entity)
{
    if (entity != nullptr)
        entity->CallScriptMethod("OnNetInit", 0);
}

Entity* EntityManager::FindEntityByName(const char* name) const
{
    if (name == nullptr || name[0] == 0 || std::strlen(name) > kMaxLookupName)
        return nullptr;
    return m_nameIndex.Find(name);
}

Entity* EntityManager::FindEntityByGUID(const SimpleGUID& guid) const
{
    if (guid.IsNull())
        return nullptr;
    return m_guidIndex.Find(guid);
}

Entity* EntityManager::GetEntityByMID(uint32_t mid) const
{
    if (mid >= NULL_ENTITY_MULTIPLAYER_ID)
        return nullptr;
    return m_midTable[mid];
}

SceneParametersEntity* EntityManager::GetActiveSceneParamsEntity() const
{
    if (m_sceneRoot == nullptr)
        return nullptr;
    Entity* const entity = FindEntityByGUID(m_sceneRoot->GetActiveSceneParamsGUID());
    if (entity == nullptr || !entity->IsKindOf(ENTITY_SCENEPARAMBOX))
        return nullptr;
    // A template of the kind whose class makes some other entity gives none rather than a bad cast.
    return dynamic_cast<SceneParametersEntity*>(entity);
}

void EntityManager::AddToNameIndex(Entity* entity)
{
    m_nameIndex.Add(entity, entity->GetName());
}

void EntityManager::RemoveFromNameIndex(Entity* entity)
{
    m_nameIndex.Remove(entity, entity->GetName());
}

void EntityManager::AddToGUIDIndex(Entity* entity)
{
    m_guidIndex.Add(entity, entity->GetGUID());
}

void EntityManager::RemoveFromGUIDIndex(Entity* entity)
{
    // Equal GUIDs (a scene with duplicates) share a run: only this entity's entry goes.
    m_guidIndex.Remove(entity, entity->GetGUID());
}

void EntityManager::AddToMIDLookup(Entity* entity)
{
    const uint16_t mid = entity->GetMID();
    if (mid >= NULL_ENTITY_MULTIPLAYER_ID)
        return;
    Entity* const held = m_midTable[mid];
    if (held != nullptr && held != entity)
        gConsole.Printf(CONSOLE_ERROR, CONSOLE_CHANNEL_MULTIPLAYER,
                        "Entity already in lookup mid:%d newEntName:%s oldEntName:%s", mid, entity->GetName(),
                        held->GetName());
    m_midTable[mid] = entity;
}

void EntityManager::RemoveFromMIDLookup(Entity* entity)
{
    const uint16_t mid = entity->GetMID();
    if (mid >= NULL_ENTITY_MULTIPLAYER_ID)
        return;
    Entity* const held = m_midTable[mid];
    if (held == entity)
    {
        m_midTable[mid] = nullptr;
        return;
    }
    // The slot belongs to another entity now; clearing it would lose that entity's lookup.
    if (held != nullptr)
        gConsole.Printf(CONSOLE_ERROR, CONSOLE_CHANNEL_MULTIPLAYER,
                        "Removing wrong entity from lookup mid:%d newEntName:%s oldEntName:%s", mid, entity->GetName(),
                        held->GetName());
}

uint16_t EntityManager::AllocDynamicMID()
{
    for (uint32_t id = 0; id < kDynamicMIDCount; ++id)
    {
        uint8_t& byte = m_dynamicMIDBitmap[id >> 3];
        const uint8_t bit = uint8_t(1u << (id & 7));
        if ((byte & bit) == 0)
        {
            byte = uint8_t(byte | bit);
            ++m_dynamicMIDsInUse;
            return uint16_t(id);
        }
    }
    return NULL_ENTITY_MULTIPLAYER_ID;
}

void EntityManager::FreeMID(uint32_t mid)
{
    if (mid >= kDynamicMIDCount)
        return;
    uint8_t& byte = m_dynamicMIDBitmap[mid >> 3];
    const uint8_t bit = uint8_t(1u << (mid & 7));
    if ((byte & bit) != 0)
    {
        byte = uint8_t(byte & ~bit);
        --m_dynamicMIDsInUse;
    }
}

uint16_t EntityManager::AllocStaticMID()
{
    if (m_staticMIDsHandedOut >= kStaticMIDCount)
        return NULL_ENTITY_MULTIPLAYER_ID;
    return uint16_t(kDynamicMIDCount + m_staticMIDsHandedOut++);
}

void EntityManager::ClearMIDLookup()
{
    for (uint32_t mid = 0; mid < kMIDTableSize; ++mid)
        if (Entity* const entity = m_midTable[mid])
        {
            m_midTable[mid] = nullptr;
            entity->m_mid = NULL_ENTITY_MULTIPLAYER_ID;
        }
    std::memset(m_dynamicMIDBitmap, 0, sizeof(m_dynamicMIDBitmap));
    m_dynamicMIDsInUse = 0;
    m_staticMIDsHandedOut = 0;
}

namespace
{
void ClearMarksDepthFirst(Entity* entity)
{
    for (Entity* child : entity->GetChildren())
        ClearMarksDepthFirst(child);
    entity->DropReplicationRole();
}
} // namespace

void EntityManager::ClearReplicationMarks()
{
    if (m_sceneRoot != nullptr)
        ClearMarksDepthFirst(m_sceneRoot);
}

void EntityManager::ClearVisibleLists()
{
    m_visibleList.Clear();
    m_deferredRenderList.Clear();
}

void EntityManager::ForgetVisibleEntity(Entity* entity)
{
    if (!m_visibleList.IsEmpty())
        m_visibleList.RemoveValue(entity);
    if (!m_deferredRenderList.IsEmpty())
        m_deferredRenderList.RemoveValue(entity);
}

void EntityManager::MoveEntityInGrid(Entity* entity, __m128i cells, uint8_t lists)
{
    Entity::CellRange range;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&range), cells);
    m_grid.PlaceEntity(entity, range, lists);
}

void EntityManager::PlaceHeldEntity(Entity* entity)
{
    if (!entity->IsGridPlacementHeld())
        return;
    const bool pushPending = (entity->m_gridPlacementHeld & Entity::kTransformPending) != 0;
    entity->m_gridPlacementHeld = 0;
    // A record without a matrix leaves the push its making skipped: made now, it places the entity.
    if (pushPending)
        entity->PropagateTransform(false);
    else
        UpdateEntityInGrid(entity);
}

void EntityManager::GatherVisibleEntities(const VisibleEntityGatherOptions& options)
{
    const Entity::CellRange range = m_grid.ComputeRange(options.frustumBox);
    if (range.IsNone())
        return;
    // One bit per entity index: an entity spanning several cells is tested once.
    static uint64_t visited[kMaxEntities / 64];
    std::memset(visited, 0, sizeof(visited));
    const bool culling = options.frustumPlanes != nullptr;
    const FrustumBoxClassifier classifier(culling ? options.frustumPlanes : kAcceptAll);
    for (int32_t z = range.z0; z < range.z1; ++z)
        for (int32_t x = range.x0; x < range.x1; ++x)
        {
            const PathGrid::Cell& cell = m_grid.GetCell(uint32_t(x), uint32_t(z));
            if (culling && !cell.box.IntersectsFrustum(options.frustumPlanes))
                continue;
            const PathGridCellList& list = cell.lists[PathGrid::kRenderList];
            // Every candidate's box is asked for before the first is tested, so that their loads
            // overlap instead of each waiting in turn; then the same for the entities that remain.
            for (const PathGridEntry& entry : list)
                __builtin_prefetch(&EntitySpatialTable::WorldBoxOfIndex(entry.index & (kMaxEntities - 1)));
            for (int32_t start = 0; start < list.Count(); start += kGatherChunk)
            {
                const int32_t end = std::min(list.Count(), start + kGatherChunk);
                GatherCandidate candidates[kGatherChunk];
                int32_t count = 0;
                for (int32_t i = start; i < end; ++i)
                {
                    const uint32_t index = list[i].index;
                    if (index >= kMaxEntities || (visited[index >> 6] & (uint64_t(1) << (index & 63))) != 0)
                        continue;
                    visited[index >> 6] |= uint64_t(1) << (index & 63);
                    // The dense box array settles most candidates without reading the entity: its
                    // world box holds the transformed local box (grown by a kind's collision
                    // bounds), so wholly outside or wholly inside the box means the same for the
                    // local box.
                    const BoundingBox4& box = EntitySpatialTable::WorldBoxOfIndex(index);
                    const int side = culling ? classifier.Classify(box) : FrustumBoxClassifier::kInside;
                    if (side == FrustumBoxClassifier::kOutside)
                        continue;
                    __builtin_prefetch(&list[i].entity->m_flags);
                    candidates[count++] = {list[i].entity, side};
                }
                for (int32_t i = 0; i < count; ++i)
                    if (KeepsVisibleCandidate(candidates[i].entity, candidates[i].side, options))
                        m_visibleList.Add(candidates[i].entity);
            }
        }
}

void EntityManager::DispatchClicksAlongSegment(const Vector& start, const Vector& end)
{
    // Handlers may delete entities; walk a copy taken through safe pointers.
    SafePointerArray<Entity> candidates;
    for (Entity* entity : m_visibleList)
        if (entity->HasFlag(ENTITYFLAG_TAKES_MOUSE_CLICKS) && entity->GetClickHandler() != nullptr &&
            entity->GetWorldBoundingBox().CollidesWithSegment3D(start, end))
            candidates.Add(SafePointer<Entity>(entity));
    for (SafePointer<Entity>& candidate : candidates)
        if (candidate && candidate->GetClickHandler() != nullptr)
            candidate->GetClickHandler()->OnClick(candidate.Get());
}
