// EntityManager: owner of the live scene (script global gEntityManager). Main thread only.
//
// It holds the scene root and through it every entity, the name index (case-insensitive, equal
// names in creation order), the GUID index, the multiplayer-id table with its dynamic-id bitmap and
// static counter, the PathGrid over the scene bounds, the layer system, the entity sets and the
// navigation grid block. Entities are made only through CreateEntity (core road), the script road
// (CreateEntity by template name) and the in-game road (CreateEntityInGame, which also runs the
// OnInit passes); every creation refusal logs and returns null without leaving a trace.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"
#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityLookupIndex.h"
#include "scene/entities/LOSResult.h"
#include "scene/entities/PathGrid.h"

#include <cstdint>
#include <memory>
#include <string>

class Entity;
class EntityLayerSystem;
class EntitySet;
class EntityTemplate;
class NavigationGrid;
class Player;
class SceneEntity;
class SceneParametersEntity;

// What GatherVisibleEntities tests each render candidate against.
struct VisibleEntityGatherOptions
{
    const Vector* frustumPlanes = nullptr; // six inward planes
    BoundingBox4 frustumBox;               // world box of the frustum corners: the cells walked
    const uint8_t* layerMask = nullptr;    // 32 bytes, bit per layer id; null accepts every layer
    uint32_t excludedFlags = 0;
    uint32_t excludedViews = 0;
    uint8_t qualityLevel = 255;
};

// Owner of the scene and its indexes; see the design comment above.
class EntityManager
{
public:
    static constexpr size_t kMaxLookupName = 259;

    EntityManager();
    ~EntityManager();
    EntityManager(const EntityManager&) = delete;
    EntityManager& operator=(const EntityManager&) = delete;

    void Init(const BoundingBox4& sceneBounds, float cellSize);
    void NewScene();
    void DestroyScene();
    bool IsInitialized() const { return m_initialized; }

    // Creation roads.
    Entity* CreateEntity(EntityTemplate* entityTemplate, Entity* parent, const Matrix& local, uint32_t flags,
                         Player* player);
    Entity* CreateEntity(const char* templateName, Entity* parent, const Matrix& local, uint32_t flags,
                         Player* player);
    Entity* CreateEntityInGame(const char* templateName, Entity* parent, const Matrix& local, uint32_t flags,
                               Player* player);
    Entity* CreateEntityInGameByGUID(const SimpleGUID& templateGUID, Entity* parent, const Matrix& local,
                                     uint32_t flags, Player* player);
    // The OnInit road of a new entity: creation name, PostCreateInit, the delegate, the passes.
    void CallOnInitHooks(Entity* entity);
    void DestroyEntity(Entity* entity);
    void OnNetInit(Entity* entity);
    // Hands an entity to its destruction (the deferred calls' subtree removal ends here).
    void DeleteEntity(Entity* entity);

    // Lookups.
    Entity* FindEntityByName(const char* name) const;
    Entity* FindEntityByGUID(const SimpleGUID& guid) const;
    Entity* GetEntityByMID(uint32_t mid) const;
    SceneParametersEntity* GetActiveSceneParamsEntity() const;
    SceneEntity* GetSceneRoot() const { return m_sceneRoot; }
    uint32_t GetLiveEntityCount() const { return m_liveEntityCount; }
    // Every named entity, names in order (ignoring case), equal names in the order they were given.
    // Both walks are views of the index as it is when asked for, good until the next change (a new,
    // renamed or dying entity): callers that change the scene collect first, then act.
    const Dynarray<Entity*>& GetNameIndex() const { return m_nameIndex.Sorted(); }
    // Every entity with a GUID, GUIDs in order, equal GUIDs in the order they were given.
    const Dynarray<Entity*>& GetGUIDIndex() const { return m_guidIndex.Sorted(); }

    // Index upkeep, called by Entity.
    void AddToNameIndex(Entity* entity);
    void RemoveFromNameIndex(Entity* entity);
    void AddToGUIDIndex(Entity* entity);
    void RemoveFromGUIDIndex(Entity* entity);
    void AddToMIDLookup(Entity* entity);
    void RemoveFromMIDLookup(Entity* entity);
    void OnEntityConstructed() { ++m_liveEntityCount; }
    void OnEntityDestructed() { --m_liveEntityCount; }

    // Multiplayer ids.
    uint16_t AllocDynamicMID();
    void FreeMID(uint32_t mid);
    uint16_t AllocStaticMID();
    void ClearMIDLookup();
    uint32_t GetDynamicMIDsInUse() const { return m_dynamicMIDsInUse; }
    uint32_t GetStaticMIDsHandedOut() const { return m_staticMIDsHandedOut; }
    void ClearReplicationMarks();

    // Scene data.
    void SetSceneName(const char* name) { m_sceneName = name != nullptr ? name : ""; }
    const char* GetSceneName() const { return m_sceneName.c_str(); }
    void SetNavigationGrid(NavigationGrid* grid);
    NavigationGrid* GetNavigationGrid() const { return m_navigationGrid; }
    void SetSceneHeightRange(float minY, float maxY);
    const BoundingBox4& GetSceneBounds() const { return m_sceneBounds; }
    const BoundingBox4& GetCurrentBounds() const { return m_currentBounds; }
    float GetGridCellSize() const { return m_cellSize; }
    PathGrid& GetPathGrid() { return m_grid; }
    // The layer system, created again on demand after DestroyScene deleted it.
    EntityLayerSystem& GetLayerSystem();
    bool HasLayerSystem() const { return m_layerSystem != nullptr; }
    Dynarray<EntitySet*>& GetEntitySets() { return m_entitySets; }
    void DeleteAllEntitySets();
    // Set operations (EntitySetOperations.cpp): the first set whose name is equal ignoring case;
    // a new empty set at the end of the list; purging drops dead members and deletes empty sets.
    EntitySet* FindEntitySet(const char* name) const;
    EntitySet* CreateEntitySet();
    void PurgeEntitySets();

    // Spatial queries (EntityManagerQueries.cpp). The nearest flag entity strictly within `range`
    // of the point, other than `excluded` and the point itself, whose unit direction from the
    // point makes at least `minimumDot` with `direction`.
    Entity* GetNearestFlag(const Vector& point, float range, const Entity* excluded, const Vector& direction,
                           float minimumDot);
    // The nearest ray-pick hit along the segment (PickQueryFlag bits; `mask` is compared with the
    // templates' "LOS mask"), never asking `a` or `b`: true when nothing was hit, false with the
    // hit in `result` (EntityManagerLOS.cpp).
    bool LOS(const Vector& start, const Vector& end, uint32_t flags, LOSResult& result, uint32_t mask, const Entity* a,
             const Entity* b);
    uint32_t GetCreationCounter() const { return m_creationCounter; }

    // The frame's render candidates.
    void GatherVisibleEntities(const VisibleEntityGatherOptions& options);
    const Dynarray<Entity*>& GetVisibleList() const { return m_visibleList; }
    Dynarray<Entity*>& GetDeferredRenderList() { return m_deferredRenderList; }
    void ClearVisibleLists();

    // The scene render list of a frame (EntityManagerRenderLists.cpp). View-mode bits: 1 combat,
    // 2 tactical, 4 extended tactical view; an entity hidden in one of them is not collected.
    // Fills the collected list from the grid cells in the frustum: visible layers, no hidden
    // flag, no block-rendering bit of the view mode, a detail level at most `detailLevel`.
    void CollectVisibleEntities(const Vector* frustumPlanes, const BoundingBox4& frustumBox, uint32_t viewModeBits,
                                uint8_t detailLevel);
    // The per-frame hook of every collected entity flagged for it.
    void RenderFlag8Entities(uint32_t passFlags, uint32_t viewModeBits);
    // The main gathered pass: every collected entity but the late ones, which go to the late list.
    void RenderCollected(uint32_t passFlags, uint32_t viewModeBits, uint8_t clear, const Vector* color,
                         uint32_t frameNumber);
    // One late pass over the late entities whose flag word AND mask equals value; nothing is
    // written when none does.
    void RenderLate(uint32_t passFlags, uint32_t mask, uint32_t value, uint32_t frameNumber);
    // Pass-flag bits the view mode adds and the late passes carry.
    static constexpr uint32_t kPassTacticalHooks = 0x1000;
    static constexpr uint32_t kPassTacticalScene = 0x9000;
    static constexpr uint32_t kPassTacticalExtended = 0x2000;
    static constexpr uint32_t kPassLate = 0x38000;
    // Pass flag asking each drawn entity for its second draw as well.
    static constexpr uint32_t kPassSecondDraw = 0x8;
    static constexpr uint32_t kViewTactical = 2;
    static constexpr uint32_t kViewTacticalExtended = 4;
    // Flag-word bits of the late passes: drawn after the main pass, or after post-processing.
    static constexpr uint32_t kLateMask = 0xC0;
    static constexpr uint32_t kLateAfterScene = 0x80;
    static constexpr uint32_t kLateAfterPostProcess = 0x40;
    // Takes a dying entity out of the frame's lists.
    void ForgetVisibleEntity(Entity* entity);
    // Calls the click handlers of visible clickable entities whose world box the segment crosses.
    void DispatchClicksAlongSegment(const Vector& start, const Vector& end);

    // Moves an entity between the grid cells after its world box changed (not while it is held).
    // Inline, as every move asks: most stay in their cells, decided here by cutting the box's range
    // and comparing it with the cells and lists in the entity's record, four lanes at a time.
    void UpdateEntityInGrid(Entity* entity)
    {
        if (entity->IsGridPlacementHeld())
            return;
        // The lists the flags allow, for a box in some cell.
        const uint32_t flags = entity->GetFlags();
        uint8_t lists = 0;
        if ((flags & (ENTITYFLAG_DISABLE_UPDATE | ENTITYFLAG_NO_SPATIAL_QUERIES)) == 0)
            lists |= 1u << PathGrid::kQueryList;
        if ((flags & (ENTITYFLAG_DISABLE_UPDATE | ENTITYFLAG_NO_RENDERING_CONTEXT)) == 0)
            lists |= 1u << PathGrid::kRenderList;
        const __m128i range = m_grid.ComputeRangeLanes(entity->GetWorldBoundingBox());
        // A box in no cell is in no list.
        if (_mm_cvtsi128_si32(range) < 0)
            lists = 0;
        const __m128i cells = lists != 0 ? range : _mm_set1_epi32(-1);
        const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&entity->GetEnteredCells()));
        if (lists != entity->GetEnteredLists() || _mm_movemask_epi8(_mm_cmpeq_epi32(cells, held)) != 0xFFFF)
            MoveEntityInGrid(entity, cells, lists);
    }
    // While on, each entity created is held out of the grid until PlaceHeldEntity: a scene load
    // reads an entity's record before it has a place, and the entity then enters its cells once
    // instead of entering the origin's cells first and moving on.
    void HoldNewEntitiesFromGrid(bool hold) { m_holdNewEntitiesFromGrid = hold; }
    void PlaceHeldEntity(Entity* entity);
    // While on, names and GUIDs that entities take wait to enter the indexes together (each lookup
    // or removal lets them in first, so no caller sees them wait): a scene load's thousands of
    // inserts then overlap their cache misses. Turning it off lets them in.
    void HoldIndexEntries(bool hold)
    {
        m_nameIndex.Hold(hold);
        m_guidIndex.Hold(hold);
    }
    // Empties the name and GUID indexes and the grid's cells without reading the entities in them:
    // the whole scene is dying (Entity::DestroyWithScene, from NewScene).
    void ForgetSceneEntries();

private:
    // Up to this many live entities, ForgetSceneEntries takes each out of the indexes.
    static constexpr uint32_t kFewEntitiesToForget = 64;

    // The rest of UpdateEntityInGrid once the entity's cells changed: the range as lanes.
    void MoveEntityInGrid(Entity* entity, __m128i cells, uint8_t lists);
    void InitInGame(Entity* entity);
    bool RefuseCreation(EntityTemplate* entityTemplate, Entity* parent, uint32_t flags) const;
    void DestroyRoot();

    std::string m_sceneName;
    SceneEntity* m_sceneRoot = nullptr;
    EntityNameIndex m_nameIndex;
    EntityGUIDIndex m_guidIndex;
    Entity* m_midTable[kMIDTableSize] = {};
    uint8_t m_dynamicMIDBitmap[kDynamicMIDCount / 8] = {};
    uint32_t m_dynamicMIDsInUse = 0;
    uint32_t m_staticMIDsHandedOut = 0;
    Dynarray<Entity*> m_visibleList;
    Dynarray<Entity*> m_deferredRenderList;
    uint32_t m_liveEntityCount = 0;
    BoundingBox4 m_sceneBounds;
    BoundingBox4 m_currentBounds;
    float m_cellSize = 0.0f;
    PathGrid m_grid;
    std::unique_ptr<EntityLayerSystem> m_layerSystem;
    NavigationGrid* m_navigationGrid = nullptr;
    Dynarray<EntitySet*> m_entitySets;
    uint32_t m_creationCounter = 0;
    bool m_initialized = false;
    bool m_holdNewEntitiesFromGrid = false;
};

extern EntityManager gEntityManager;
