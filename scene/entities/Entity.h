// Entity: base of every scene object. Main thread only.
//
// The scene model, in one page. Every object of a scene is an Entity (or a kind of it) made from a
// template by the EntityManager, which owns the tree under the scene root and the indexes by name,
// GUID and multiplayer id. An entity's local matrix is relative to its parent; world matrices are
// kept current eagerly: any change recomputes the entity and its descendants at once (parents
// before children), pushes the result to the rendering context through render commands, and moves
// the entity between the cells of the manager's PathGrid (a query list and a render-candidate list
// per cell, each sorted by entity index). Entities are referred to through safe pointers, which
// clear themselves when the entity dies; the destroy step also takes the entity out of every
// index, cell, trigger list and set before the memory goes.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "engine/scripting/LuaBaseClass.h"
#include "online/Player.h"
#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntitySpatialTable.h"
#include "scene/entities/LOSResult.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

class Entity;
class EntityMPProperties;
class EntityRenderingContext;
struct EntityRenderingSource;
class EntitySet;
class EntitySoundEmitter;
class EntityTemplate;
struct SoundParamWrapper;
class TriggerOccupancyTracker;

// Receives mouse clicks on an entity (DispatchMouseClicks).
class EntityClickHandler
{
public:
    virtual ~EntityClickHandler() = default;
    virtual void OnClick(Entity* entity) = 0;
};

// One entry of ListMeAndChildren.
struct EntityListEntry
{
    Entity* entity;
    uint32_t value;
};

// The mount-to-bone data of an entity, made by the first write of a mount property.
struct EntityMountRecord
{
    Matrix location = Matrix::ONE;
    Vector rotation;
    Vector scale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    uint8_t rotationValid = 1;
    uint8_t scaleValid = 1;
    NameString boneName;
};

// A scene object: identity, flags, template, place in the tree, transform, layer and script hooks.
// Aligned to a cache line, so that what a move reads of the object is one line.
class alignas(64) Entity : public LuaBaseClass
{
    RTTI_DECLARE_CLASS(Entity, RTTIPolyBaseClass)

public:
    using CellRange = EntityCellRange;

    Entity();
    ~Entity() override;
    // Entities of every kind live in the slot pool (SlotPool.h): a sweep over many entities, in
    // whatever order, then finds them packed on few large pages instead of spread over the heap.
    static void* operator new(size_t bytes, std::align_val_t alignment);
    static void operator delete(void* entity, size_t bytes, std::align_val_t alignment);
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;

    const char* GetScriptClassName() const override { return GetLuaClassName(); }
    // A numbered callback scheduled for this entity came due.
    virtual void OnScheduledCallback(uint32_t id) { (void)id; }

    // Life cycle (virtual slots of the kinds).
    virtual void Destroy();
    // Destroys this entity and its subtree as the whole scene goes: after the replication roles are
    // dropped (children first, as Destroy does), the manager empties its name and GUID indexes and
    // the grid's cells at once (EntityManager::ForgetSceneEntries), and each entity of the subtree
    // dies without taking itself out of them one by one.
    void DestroyWithScene();
    // For an entity that outlived the teardown of a scene: the grid's cells were emptied without it
    // (EntityManager::ForgetSceneEntries), so it keeps no range into them, and should a script have
    // moved it out of the dying subtree, it dies later like any other entity.
    void LeaveEmptiedGrid();
    bool IsGridPlacementHeld() const { return (m_gridPlacementHeld & kGridHeld) != 0; }
    virtual const char* GetLuaClassName() const;
    virtual void InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags);
    virtual void ChangeTemplate(EntityTemplate* entityTemplate);
    virtual void ResetBoundsFromTemplate(const char* propertyName);
    virtual void OnPostSceneLoad() {}
    virtual void SetLayer(uint8_t layer);
    // Kinds size their box through SetLocalBoundingBox: the world box is derived from it.
    virtual const BoundingBox4& GetLocalBoundingBox() const { return m_spatial->localBox; }
    virtual void PostCreateInit();
    virtual void RequestDelete(uint32_t code);
    // Segment test (world start and end, PickQueryFlag bits, a mask the template's "LOS mask" must
    // not meet): true when nothing was hit, false when a hit was written to `result`.
    virtual bool RayPick(const Vector& start, const Vector& end, uint32_t flags, uint32_t mask, LOSResult& result)
    {
        (void)start, (void)end, (void)flags, (void)mask, (void)result;
        return true;
    }
    // A constant hook of the kinds, asked by no one in the scene model: true, false for lights.
    virtual bool ConstantHook45() const { return true; }
    virtual void DrawDebug(uint32_t flags);
    virtual uint32_t GetMarkerPoints(Vector* points, uint32_t capacity);
    virtual void SetLayerToActive();
    // Re-sends what the entity shows after its layer or its compound changed (lights re-post their
    // light; compounds pass it to their elements); nothing in the base.
    virtual void RefreshRendering() {}
    virtual void CopyRenderingState(Entity* other);
    virtual void OnFrameHook(uint32_t flags) { (void)flags; }
    // The second draw of a scene pass whose flags ask for one (EntityManager::kPassSecondDraw), with
    // the entity's render bits added; kinds without one draw nothing.
    virtual void RenderSecondDraw(uint32_t flags) { (void)flags; }
    virtual bool RenderWithoutContext(uint32_t flags)
    {
        (void)flags;
        return true;
    }
    virtual void DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color);
    // The colour the entity is drawn in; kinds without one are white.
    virtual HDRColor GetEntityColor() const { return HDRColor(255, 255, 255, 255, 1.0f); }
    virtual void AddChild(Entity* child);
    virtual void RemoveChild(Entity* child);
    virtual EntityRenderingContext* CreateRenderingContext() { return nullptr; }
    virtual void UpdateTransform();
    virtual void GetCollisionBounds(BoundingBox4& box) { (void)box; }
    virtual void OnFlag32Raised() {}
    virtual void OnFlag32Cleared() {}
    virtual bool NeedsRenderingContextChange() { return false; }
    void DropRenderingContextIfNeeded();
    void RebuildRenderingContextIfNeeded();

    // Reflection hooks.
    void OnPostLoad(uint32_t flags) override { (void)flags; RefreshVisibilityFlags(); }
    void OnPropertyChanged(const RTTIProperty* property) override;
    // Names offered for a property ("Mount to bone": the parent mesh's bones); others left alone.
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;
    virtual void RefreshVisibilityFlags();
    virtual void OnPropertiesChanged();

    // Identity.
    const char* GetName() const { return m_name.c_str(); }
    bool HasName() const { return !m_name.empty(); }
    void SetName(const char* name);
    const SimpleGUID& GetGUID() const { return m_guid; }
    void SetGUID(const SimpleGUID& guid);
    void GenerateGUID();
    // "<template file name>_NNN" with the first suffix no live entity has.
    void SetUniqueName();
    uint32_t GetIndex() const { return m_index; }
    uint32_t GetRandomId() const { return m_randomId; }
    uint32_t GetTemplateTypeId() const { return m_spatial->templateTypeId; }
    bool IsKindOf(uint32_t type) const;
    uint32_t GetTypeBits() const { return m_typeBits; }
    void SetTypeBits(uint32_t bits) { m_typeBits = bits; }
    EntityTemplate* GetTemplate() const { return m_template; }
    const char* GetTemplateName() const;
    // The template's folder path and file name, at most 259 characters, in one buffer that the next
    // call overwrites.
    const char* GetTemplateFullName() const;
    const SimpleGUID& GetTemplateGUID() const;
    bool GetTemplatePropertyValueAsString(const char* name, char* buffer, size_t size) const;
    bool SetTemplatePropertyFromString(const char* name, const char* text);

    // Hierarchy.
    Entity* GetParent() const { return m_parent; }
    const Dynarray<Entity*>& GetChildren() const { return m_children; }
    // The one road by which parents change; see the rules in the source.
    void SetParent(Entity* parent, bool keepWorld, bool forced);
    void SetParent(Entity* parent) { SetParent(parent, false, false); }
    void SetParentInPlace(Entity* parent) { SetParent(parent, true, false); }
    Entity* GetChildByName(const char* name) const;
    void DeleteChildren();
    // Breadth-first list of this entity and its descendants; cut (and logged) at the capacity.
    uint32_t ListMeAndChildren(EntityListEntry* buffer, uint32_t capacity);
    void DeleteMe();
    void IncreaseDeleteGuardCounter() { ++m_deleteGuard; }
    void DecreaseDeleteGuardCounter() { --m_deleteGuard; }
    int32_t GetDeleteGuardCounter() const { return m_deleteGuard; }

    // Flags.
    uint32_t GetFlags() const { return m_flags; }
    bool HasFlag(uint32_t bits) const { return (m_flags & bits) != 0; }
    void RaiseFlag(uint32_t bits, bool recursive);
    void ClearFlag(uint32_t bits, bool recursive);
    void Hide(bool recursive) { RaiseFlag(ENTITYFLAG_HIDDEN, recursive); }
    void Show(bool recursive) { ClearFlag(ENTITYFLAG_HIDDEN, recursive); }
    uint32_t GetExtraFlags() const { return m_extraFlags; }
    void SetExtraFlags(uint32_t flags) { m_extraFlags = flags; }
    uint32_t GetRenderFlags() const { return m_renderFlags; }
    void SetRenderFlags(uint32_t flags) { m_renderFlags = flags; }

    // Views, layer, rendering.
    bool IsVisibleInCombatView() const { return (m_viewVisibility & ENTITYVIEW_HIDDEN_COMBAT) == 0; }
    bool IsVisibleInTacticalView() const { return (m_viewVisibility & ENTITYVIEW_HIDDEN_TACTICAL) == 0; }
    void SetVisibleInCombatView(uint8_t setting);
    void SetVisibleInTacticalView(uint8_t setting);
    void UpdateViewVisibility();
    uint32_t GetViewVisibility() const { return m_viewVisibility; }
    uint8_t GetMinimumQualityLevel() const { return m_minimumQualityLevel; }
    uint8_t GetLayer() const { return m_layer; }
    // How far above its origin (entity units, along its up axis) a health bar tracking it stands.
    float GetBarHeight() const { return m_barHeight; }
    void SetBarHeight(float height) { m_barHeight = height; }
    EntityRenderingContext* GetRenderingContext() const { return m_spatial->renderingContext; }
    void RecreateRenderingContext(bool applyValues);
    // What a new rendering context copies from this entity and its template.
    void FillRenderingSource(EntityRenderingSource* source) const;
    void DeleteRenderingContext();
    // Posts the world matrix and the local box to the rendering context, if there is one.
    void UpdateRenderingTransform();
    // Takes the box the rendering context published since the last take as the local box; false
    // without a rendering context or a new valid box (an empty or unbounded one keeps the last box).
    bool UpdateRenderingBounds();
    // Once per frame: stamps the frame and submits the context with the render flags and
    // `extraFlags`; with ENTITYRENDER_REFRESH_BOUNDS among them the context's bounds are taken first.
    void Render(uint32_t extraFlags, uint32_t frameNumber);
    void RenderIfFlag8(uint32_t extraFlags);
    uint32_t GetLastRenderedFrame() const { return m_lastRenderedFrame; }

    // Transform (EntityTransform.cpp).
    const Matrix& GetLocalLocationMatrix() const { return m_spatial->local; }
    const Matrix& GetGlobalLocationMatrix() const { return m_spatial->world; }
    const Matrix& GetInversedGlobalLocationMatrix();
    void SetLocalLocationMatrix(const Matrix& matrix);
    void SetLocalPosition(const Vector& position);
    void SetLocalRotation(const Vector& degrees);
    void SetLocalScale(const Vector& scale);
    void SetGlobalLocationMatrix(const Matrix& matrix);
    void SetGlobalPosition(const Vector& position);
    void SetGlobalRotation(const Vector& degrees);
    void SetGlobalScale(const Vector& scale);
    void CopyLocalLocation(const Entity* other);
    void CopyGlobalLocation(const Entity* other);
    const Vector& GetLocalPosition() const { return m_spatial->local.rows[3]; }
    const Vector& GetGlobalPosition() const { return m_spatial->world.rows[3]; }
    const Vector& GetLocalRotation();
    const Vector& GetLocalScale();
    const Vector& GetGlobalRotation();
    const Vector& GetGlobalScale();
    bool IsTransformMirrored() const { return (m_renderFlags & ENTITYRENDER_MIRRORED) != 0; }
    float GetDistanceToBoundingBox(const Vector& point);
    const BoundingBox4& GetWorldBoundingBox() const { return EntitySpatialTable::WorldBox(m_index, m_spatial); }
    // The cells the entity is entered in, in one grid list (PathGrid::kQueryList or kRenderList).
    CellRange GetCellRange(int list) const
    {
        return (m_spatial->cellLists & (1u << list)) != 0 ? m_spatial->cells : CellRange();
    }
    // Kept by the grid: the one range of both lists, and a bit (1 << list) for each list the
    // entity is entered in there; the range is none exactly when no bit is set.
    const CellRange& GetEnteredCells() const { return m_spatial->cells; }
    uint8_t GetEnteredLists() const { return m_spatial->cellLists; }
    void SetEnteredCells(const CellRange& cells, uint8_t lists)
    {
        m_spatial->cells = cells;
        m_spatial->cellLists = lists;
    }

    // Replication.
    uint16_t GetMID() const { return m_mid; }
    void SetMID(uint16_t mid);
    uint8_t GetReplicationRole() const { return m_replicationRole; }
    void SetReplicationRole(uint8_t role) { m_replicationRole = role; }
    bool IsStaticMultiplayer() const { return m_staticMultiplayer; }
    void MarkReplicationDirty();
    void MarkMPPropertyChanged(uint32_t property);
    void ClearReplicationState();
    uint64_t GetPendingChangeMask() const { return m_pendingChangeMask; }
    uint64_t GetAccumulatedChangeMask() const { return m_accumulatedChangeMask; }
    void SetTornOff(bool tornOff) { m_tornOff = tornOff ? 1 : 0; }
    bool IsTornOff() const { return m_tornOff != 0; }
    // Set on entities the peer created and keeps in step.
    void SetReplicated(bool replicated) { m_replicated = replicated ? 1 : 0; }
    bool IsReplicated() const { return m_replicated != 0; }
    // The replicated-property record (EntityReplication.cpp): made with the start set and filled from
    // the entity; the entity joins the Game's updated and changed lists.
    void InitMPProperties();
    const EntityMPProperties* GetMPProperties() const { return m_mpProperties; }
    EntityMPProperties* EditMPProperties() { return m_mpProperties; }
    // Set one field of the record (a packed animation state, a ranged float) and mark it changed
    // when the value moved; false for a field the record lacks or one of another type.
    bool MPPropSetAnim(int32_t field, uint32_t packed);
    bool MPPropSetFloat(int32_t field, float value);
    // Scripts add fields to the record (from "InitMPProperties"): a packed animation state, or a
    // float from minimum to maximum sent in steps (at most 255 of them, the field is one byte).
    // The field's index, or -1 with a warning: no record, a name already used, a bad range, or 64
    // fields held. A new field is marked changed, so the peer hears of it once.
    int32_t MPPropAddAnim(const char* name);
    int32_t MPPropAddFloat(const char* name, float minimum, float maximum, float step);
    int32_t MPPropFind(const char* name) const;
    // Writes the properties of the pending change mask, as they are now, into the multiplayer
    // engine's outgoing entity states, then clears the mask and lets the entity be marked changed
    // again. Two 64-bit times in 32-bit halves: the state's time and its reference (the time since
    // the last engine update from the deferred calls, the previous send time from the send pass).
    void WriteMPProperties(uint32_t timeLow, uint32_t timeHigh, uint32_t referenceLow, uint32_t referenceHigh);
    // Applies the received states due at the time (64-bit microseconds in two halves); false once
    // none is left waiting.
    bool ReadMPProperties(uint32_t timeLow, uint32_t timeHigh);
    // State records for this entity from the peer (the network side's delivery: each the record
    // part of a written state, EntityMPProperties::Write), kept until due.
    void QueueReceivedMPState(const uint8_t* data, size_t size);
    bool HasReceivedMPStates() const { return m_receivedMPStates != nullptr && !m_receivedMPStates->IsEmpty(); }
    void RaiseReplicationFlag(uint8_t bits, bool recursive);
    void ClearReplicationFlag(uint8_t bits, bool recursive);
    uint8_t GetReplicationFlags() const { return m_replicationFlags; }
    void SetMPAvatarMesh(Entity* avatar) { m_avatar = avatar; }
    Entity* GetMPAvatarMesh() const { return m_avatar; }
    Player* GetOwningPlayer() const { return m_owningPlayer.Get(); }
    void SetOwningPlayer(Player* player);
    // Runs "OnNetDestroy" and drops the role (destroy, new scene, ClearReplicationMarks); the
    // replicated-property record and received states go with it, and the avatar is forgotten.
    void DropReplicationRole();

    // Script side (EntityScript.cpp).
    bool CallScriptMethod(const char* method, int argumentCount);
    // A procedural targeting animation this entity listens to started or stopped turning: the
    // gameplay delegate hears it, or without one the script method of the same name (while the
    // game runs).
    void OnProcTargetingAnimRotStart();
    void OnProcTargetingAnimRotStop();
    void ExecuteScript(const char* functionName);
    void EnableTickCallback();
    void DisableTickCallback();
    void ScheduleScriptCall(const char* functionName, float delaySeconds, uint32_t flags);
    void ScheduleCallback(uint32_t callback, float delaySeconds, uint32_t flags);
    void DeleteScriptCalls(const char* functionName);
    void DeleteCallbacks(uint32_t callback);
    float GetCallbackTimeLeft(uint32_t callback, uint32_t flags);

    // Gameplay delegate, click handler, sets, occupancy.
    EntityGameplayDelegate* GetGameplayDelegate() const { return m_gameplayDelegate.Get(); }
    void SetGameplayDelegate(EntityGameplayDelegate* delegate, bool owns);
    void SetClickHandler(EntityClickHandler* handler, bool owns);
    EntityClickHandler* GetClickHandler() const { return m_clickHandler; }
    const Dynarray<EntitySet*>* GetSets() const { return m_sets; }
    // Set memberships, kept sorted by set name.
    void JoinSet(EntitySet* set);
    void LeaveSet(EntitySet* set);
    // Joins the manager's set of that name; a missing set is made (after a purge) only with `create`.
    void AddToSet(const char* setName, bool create);
    void RemoveFromSet(const char* setName);
    uint32_t GetSetsCount() const { return m_sets != nullptr ? uint32_t(m_sets->Count()) : 0; }
    // Null past the last set.
    const char* GetSetName(uint32_t index) const;
    TriggerOccupancyTracker* GetOccupancyTracker() const { return m_occupancyTracker; }

    // Sounds at the entity (EntitySound.cpp). The emitter is made on first need from the world
    // matrix; stop, exit-loop, pause, resume and volume do nothing while there is none, since a
    // null owner would reach every sound of the game.
    uint32_t PlaySound(const char* name, const SoundParamWrapper* params);
    void StopSound(uint32_t id, float fadeSeconds);
    void StopAllSounds(float fadeSeconds);
    void ExitLoop(uint32_t id);
    void PauseSound(uint32_t id, float fadeSeconds, int32_t channel);
    void ResumeSound(uint32_t id, float fadeSeconds, int32_t channel);
    void SetVolume(float volume, float fadeSeconds, uint32_t easing, uint32_t id);
    void SetVelocityForDopplerEffect(const Vector& velocity);
    void SetSoundAltitudeOverride(float altitude);
    // Made on first use.
    EntitySoundEmitter* GetSoundEmitter();
    // Null until a sound needed one.
    EntitySoundEmitter* FindSoundEmitter() const { return m_soundEmitter; }
    // After the world matrix changed.
    void UpdateSoundEmitterTransform();
    // Entity death: the emitter's destroy is posted behind everything posted for it before.
    void ReleaseSoundEmitter();
    const EntityMountRecord* GetMountRecord() const { return m_mount; }

    // The global list of live entities, oldest first.
    static Entity* GetFirstLiveEntity() { return sFirstLive; }
    Entity* GetNextLiveEntity() const { return m_nextLive; }

    // Stored properties (EntityProperties.cpp).
    uint8_t GetRenderingPass() const { return m_renderingPass; }
    float GetSortOffset() const { return m_sortOffset; }

protected:
    // The world box from the local box and the world matrix (empty for an empty or non-finite box).
    void ComputeWorldBoundingBox(BoundingBox4& box) const;
    BoundingBox4& WorldBoxForWrite() { return EntitySpatialTable::WorldBox(m_index, m_spatial); }
    // For kinds that size their own box (triggers by their shape's scale, lights by their reach).
    void SetLocalBoundingBox(const BoundingBox4& box);
    void InvalidateLocalCaches();
    void InvalidateGlobalCaches();

private:
    friend class EntityManager;

    void FlagSideEffectsRaised(uint32_t bits);
    void FlagSideEffectsCleared(uint32_t bits);
    void ShowIfAllowed();
    void LeaveGridAndPushTransform();
    // `positionOnly`: only the local matrix's last row changed since the world was made.
    void PropagateTransform(bool childrenOnly, bool positionOnly = false);
    void PropagateToDescendants(bool childrenOnly);
    void ComputeWorldFromParent(bool positionOnly);
    // Keeps in the record what the world's first three rows, just written, are (kAxesFromParent or
    // none) and whether they mirror.
    void TakeWorldAxes(uint8_t fromParent);
    // The rare case of ComputeWorldFromParent (ENTITYFLAG_PARENTNOSCALE), kept out of the common one.
    void ComputeWorldFromUnscaledParent();
    void DecomposeLocal();
    void DecomposeGlobal();
    bool IsDescendantOrSelf(const Entity* candidate) const;
    void LeaveIndexes();
    void UnlinkFromLiveList();
    static void DropRolesDepthFirst(Entity* entity, bool diesWithScene);
    // The move's listeners kept in the object, each marked in the record for the move to ask.
    void SetOccupancyTracker(TriggerOccupancyTracker* tracker);
    void SetSoundEmitter(EntitySoundEmitter* emitter);
    void SetMoveListener(uint8_t listener, bool listens);
    void ForgetSetMemberships();

    // Property accessors (EntityProperties.cpp).
    const std::string* GetNameValue() const { return &m_name; }
    void SetGUIDValue(const SimpleGUID& guid) { SetGUID(guid); }
    const SimpleGUID* GetGUIDValue() const { return &m_guid; }
    void SetParentValue(Entity* parent) { SetParent(parent, false, false); }
    Entity* GetParentValue() const { return m_parent; }
    void SetLocalMatrixValue(const Matrix& m) { SetLocalLocationMatrix(m); }
    const Matrix* GetLocalMatrixValue() const { return &m_spatial->local; }
    void SetLocalPositionValue(const Vector& v) { SetLocalPosition(v); }
    const Vector* GetLocalPositionValue() const { return &m_spatial->local.rows[3]; }
    void SetLocalRotationValue(const Vector& v) { SetLocalRotation(v); }
    const Vector* GetLocalRotationValue() const { return &const_cast<Entity*>(this)->GetLocalRotation(); }
    void SetLocalScaleValue(const Vector& v) { SetLocalScale(v); }
    const Vector* GetLocalScaleValue() const { return &const_cast<Entity*>(this)->GetLocalScale(); }
    void SetGlobalPositionValue(const Vector& v) { SetGlobalPosition(v); }
    const Vector* GetGlobalPositionValue() const { return &m_spatial->world.rows[3]; }
    void SetGlobalRotationValue(const Vector& v) { SetGlobalRotation(v); }
    const Vector* GetGlobalRotationValue() const { return &const_cast<Entity*>(this)->GetGlobalRotation(); }
    void SetGlobalScaleValue(const Vector& v) { SetGlobalScale(v); }
    const Vector* GetGlobalScaleValue() const { return &const_cast<Entity*>(this)->GetGlobalScale(); }
    void SetLayerValue(const uint8_t& layer) { SetLayer(layer); }
    const uint8_t* GetLayerValue() const { return &m_layer; }
    void SetMountBoneValue(const NameString& bone);
    const NameString* GetMountBoneValue() const;
    void SetMountLocationValue(const Matrix& location);
    const Matrix* GetMountLocationValue() const;
    void SetMountPositionValue(const Vector& position);
    const Vector* GetMountPositionValue() const;
    void SetMountRotationValue(const Vector& rotation);
    const Vector* GetMountRotationValue() const;
    void SetMountScaleValue(const Vector& scale);
    const Vector* GetMountScaleValue() const;
    EntityMountRecord* MountRecordForWrite(bool isDefault);
    void RefreshBoneMount();

    // What a move reads of the object, in its first line (the object starts on one): a move
    // touches that line, the entity's record in the dense spatial table (matrices, local box, grid
    // cells and the listeners of a move: EntitySpatialTable.h) and its world box in the table's
    // dense box array, and nothing else of the entity.
    EntitySpatialRecord* m_spatial = nullptr;
    Entity* m_parent = nullptr;
    Dynarray<Entity*> m_children;
    uint32_t m_index = kNoEntityIndex;
    uint32_t m_flags = 0;
    uint32_t m_renderFlags = 0;
    uint8_t m_globalRotationValid = 0;
    uint8_t m_globalScaleValid = 0;
    uint8_t m_inverseWorldValid = 0;
    // While a scene load reads its record (EntityManager::CreateEntity, PlaceHeldEntity): the
    // entity is kept out of the grid (kGridHeld); while it is being made, the transform pushes of
    // its making are left to the record's matrix (kTransformDeferred), and whether one was left
    // and not yet made up (kTransformPending).
    static constexpr uint8_t kGridHeld = 1;
    static constexpr uint8_t kTransformDeferred = 2;
    static constexpr uint8_t kTransformPending = 4;
    uint8_t m_gridPlacementHeld = 0;
    // What the frame's culling reads besides the flags, in the second line.
    uint32_t m_viewVisibility = 0;
    uint8_t m_layer = 1;
    uint8_t m_minimumQualityLevel = 0;
    uint8_t m_localRotationValid = 0;
    uint8_t m_localScaleValid = 0;

public:
    // Marks of the game's entity lists and deferred calls (GameEntityLists).
    bool m_inUpdatedList = false;
    bool m_inChangedList = false;
    bool m_pendingNetworkCall = false;

private:
    Matrix m_inverseWorldMatrix = Matrix::ONE;
    SimpleGUID m_guid;
    EntityTemplate* m_template = nullptr;
    uint32_t m_typeBits = 0;
    std::string m_name;
    uint32_t m_randomId = 0;
    uint8_t m_replicationQueued = 1;
    uint64_t m_pendingChangeMask = 0;
    uint64_t m_accumulatedChangeMask = 0;
    uint32_t m_extraFlags = 0;
    SafePointer<EntityGameplayDelegate> m_gameplayDelegate;
    uint8_t m_ownsGameplayDelegate = 1;
    Dynarray<EntitySet*>* m_sets = nullptr;
    EntityMountRecord* m_mount = nullptr;
    int32_t m_deleteGuard = 0;
    uint32_t m_lastRenderedFrame = 0;
    float m_sortOffset = 0.0f;
    float m_barHeight = 0.0f;
    bool m_sortOffsetFromTemplate = true;
    Entity* m_avatar = nullptr;
    uint16_t m_mid = NULL_ENTITY_MULTIPLAYER_ID;
    SafePointer<Player> m_owningPlayer;
    uint8_t m_replicationFlags = 0;
    uint8_t m_replicationRole = ENTITYROLE_LOCAL;
    uint8_t m_tornOff = 0;
    uint8_t m_replicated = 0;
    // Set on the subtree of DestroyWithScene: its indexes and grid cells were emptied wholesale.
    uint8_t m_diesWithScene = 0;
    void FreeMPProperties();
    EntityMPProperties* m_mpProperties = nullptr;
    Dynarray<uint8_t>* m_receivedMPStates = nullptr;
    bool m_staticMultiplayer = false;
    Vector m_localRotation;
    Vector m_localScale;
    Vector m_globalRotation;
    Vector m_globalScale;
    uint8_t m_renderingPass = 0;
    uint8_t m_visibleInCombatView = 0;
    uint8_t m_visibleInTacticalView = 0;
    EntityClickHandler* m_clickHandler = nullptr;
    bool m_ownsClickHandler = false;
    bool m_tickCallback = false;
    Entity* m_previousLive = nullptr;
    Entity* m_nextLive = nullptr;
    TriggerOccupancyTracker* m_occupancyTracker = nullptr;
    EntitySoundEmitter* m_soundEmitter = nullptr;

    static Entity* sFirstLive;
    static Entity* sLastLive;
};
