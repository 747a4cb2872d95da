#include "scene/entities/Entity.h"

#include "core/console/GameConsole.h"
#include "core/memory/SlotPool.h"
#include "effects/animation/MeshSkeleton.h"
#include "engine/Game.h"
#include "engine/scripting/LuaWrapper.h"
#include "online/MultiplayerEngine.h"
#include "online/Player.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/EntityIndexAllocator.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/SceneEntity.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateFolder.h"
#include "scene/templates/TemplateTypeRegistry.h"


#include <cstdio>
#include <cstdlib>
#include <cstring>

Entity* Entity::sFirstLive = nullptr;
Entity* Entity::sLastLive = nullptr;

namespace
{
const SimpleGUID kNullGUID;

// Half-size of the set marker cubes drawn above entities, in world units before the 1.2 factor.
float gDebugMarkerScale = 1.0f;

// The flag bits whose changes rebuild the rendering context.
constexpr uint32_t kContextRebuildFlags = ENTITYFLAG_NO_RENDERING_CONTEXT | ENTITYFLAG_NO_SPATIAL_QUERIES;

// The runtime's classic generator (0 to 0x7fff per draw), kept for entities alone: the C library's
// rand takes a lock on every call, which cost a tenth of a scene load. Seeded once from rand, so
// runs still differ as before.
uint32_t NextEntityRandomId()
{
    static uint32_t state = uint32_t(std::rand());
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7fffu;
}
} // namespace

Entity::Entity()
{
    m_randomId = NextEntityRandomId();
    m_index = EntityIndexAllocator::Allocate();
    m_spatial = EntitySpatialTable::Acquire(m_index);
    m_previousLive = sLastLive;
    if (sLastLive != nullptr)
        sLastLive->m_nextLive = this;
    else
        sFirstLive = this;
    sLastLive = this;
    gEntityManager.OnEntityConstructed();
}

void* Entity::operator new(size_t bytes, std::align_val_t alignment)
{
    return SlotPool::AllocateObject(bytes, alignment);
}

void Entity::operator delete(void* entity, size_t bytes, std::align_val_t alignment)
{
    SlotPool::FreeObject(entity, bytes, alignment);
}

Entity::~Entity()
{
    if (m_ownsClickHandler)
        delete m_clickHandler;
    m_clickHandler = nullptr;
    EntityGameplayDelegate* const delegate = m_gameplayDelegate.Get();
    m_gameplayDelegate.Set(nullptr);
    if (m_ownsGameplayDelegate)
        delete delegate;
    gLua.UnregisterObject(this);
    delete m_mount;
    m_mount = nullptr;
    FreeMPProperties();
    ReleaseSoundEmitter();
    // A tracker left by a road that skipped Destroy still must not leave this entity in a trigger.
    delete m_occupancyTracker;
    SetOccupancyTracker(nullptr);
    DeleteRenderingContext();
    ForgetSetMemberships();
    while (!m_children.IsEmpty())
    {
        Entity* const child = m_children[m_children.Count() - 1];
        m_children.RemoveAt(m_children.Count() - 1);
        child->m_parent = nullptr;
        child->Destroy();
    }
    m_children.FreeStorage();
    if (m_parent != nullptr)
        m_parent->RemoveChild(this);
    m_parent = nullptr;
    if (m_template != nullptr)
    {
        EntityTemplate* const entityTemplate = m_template;
        m_template = nullptr;
        entityTemplate->Release();
    }
    if (m_diesWithScene == 0)
        gEntityManager.GetPathGrid().RemoveEntity(this);
    gEntityManager.OnEntityDestructed();
    LeaveIndexes();
    UnlinkFromLiveList();
    // Last: nothing of the entity is read once its index, and with it its record, can be reused.
    EntitySpatialTable::Release(m_spatial, m_index);
    m_spatial = nullptr;
    EntityIndexAllocator::Release(m_index);
    m_index = kNoEntityIndex;
}

void Entity::LeaveIndexes()
{
    // An entity dying with its scene is in indexes emptied already.
    if (!m_name.empty() && m_diesWithScene == 0)
        gEntityManager.RemoveFromNameIndex(this);
    m_name.clear();
    if (m_diesWithScene == 0)
        SetGUID(kNullGUID);
    else
        m_guid = kNullGUID;
    SetMID(NULL_ENTITY_MULTIPLAYER_ID);
    // The frame's lists hold plain pointers; an entity dying between the gather and the render
    // must not be rendered from freed memory.
    gEntityManager.ForgetVisibleEntity(this);
}

void Entity::UnlinkFromLiveList()
{
    if (m_previousLive != nullptr)
        m_previousLive->m_nextLive = m_nextLive;
    else
        sFirstLive = m_nextLive;
    if (m_nextLive != nullptr)
        m_nextLive->m_previousLive = m_previousLive;
    else
        sLastLive = m_previousLive;
    m_previousLive = nullptr;
    m_nextLive = nullptr;
}

void Entity::DropReplicationRole()
{
    FreeMPProperties();
    if (m_replicationRole == ENTITYROLE_LOCAL)
        return;
    CallScriptMethod("OnNetDestroy", 0);
    m_replicationRole = ENTITYROLE_LOCAL;
}

// Children before their parent, depth first.
void Entity::DropRolesDepthFirst(Entity* entity, bool diesWithScene)
{
    const Dynarray<Entity*>& children = entity->GetChildren();
    for (int32_t i = 0; i < children.Count(); ++i)
        DropRolesDepthFirst(children[i], diesWithScene);
    entity->DropReplicationRole();
    if (diesWithScene)
        entity->m_diesWithScene = 1;
}

void Entity::Destroy()
{
    DropRolesDepthFirst(this, false);
    delete m_occupancyTracker;
    SetOccupancyTracker(nullptr);
    InvalidateSafePointers();
    delete this;
}

void Entity::DestroyWithScene()
{
    DropRolesDepthFirst(this, true);
    // Taking each of thousands of entities out of hash tables and cells costs a cache miss apiece;
    // emptied here, lookups during the teardown find nothing rather than a dying entity.
    gEntityManager.ForgetSceneEntries();
    delete m_occupancyTracker;
    SetOccupancyTracker(nullptr);
    InvalidateSafePointers();
    delete this;
}

void Entity::LeaveEmptiedGrid()
{
    m_diesWithScene = 0;
    SetEnteredCells(CellRange(), 0);
}

const char* Entity::GetLuaClassName() const
{
    if (m_template == nullptr)
        return "Entity";
    const char* const luaClass = m_template->GetLuaClass();
    return luaClass[0] != 0 ? luaClass : m_template->GetEntityClassName();
}

bool Entity::IsKindOf(uint32_t type) const
{
    return TemplateTypeRegistry::GetInstance().IsKindOf(m_spatial->templateTypeId, type);
}

void Entity::InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags)
{
    if (entityTemplate == nullptr)
        return;
    m_template = entityTemplate;
    entityTemplate->AddRef();
    m_spatial->templateTypeId = entityTemplate->GetTypeId();
    if ((creationFlags & ENTITYCREATION_NOGUIDGENERATION) == 0)
        GenerateGUID();
    if ((creationFlags & ENTITYCREATION_MULTIPLAYER_AUTHORITY) != 0)
        m_replicationRole = ENTITYROLE_AUTHORITY;
    else if ((creationFlags & ENTITYCREATION_MULTIPLAYER_PROXY) != 0)
        m_replicationRole = ENTITYROLE_PROXY;
    m_staticMultiplayer = (creationFlags & ENTITYCREATION_MULTIPLAYER_STATIC) != 0;
    SetLocalBoundingBox(entityTemplate->GetStaticBoundingBox());
    UpdateViewVisibility();
    if ((creationFlags & ENTITYCREATION_DONOTCREATERENDERINGCONTEXT) == 0)
        RecreateRenderingContext(false);
}

void Entity::ChangeTemplate(EntityTemplate* entityTemplate)
{
    if (entityTemplate != nullptr)
        entityTemplate->AddRef();
    EntityTemplate* const old = m_template;
    m_template = entityTemplate;
    if (old != nullptr)
        old->Release();
    if (entityTemplate != nullptr)
        SetLocalBoundingBox(entityTemplate->GetStaticBoundingBox());
    UpdateViewVisibility();
    RecreateRenderingContext(true);
}

void Entity::ResetBoundsFromTemplate(const char*)
{
    if (m_template != nullptr)
        SetLocalBoundingBox(m_template->GetStaticBoundingBox());
}

void Entity::SetLayer(uint8_t layer)
{
    m_layer = layer;
}

void Entity::PostCreateInit()
{
    if (m_template != nullptr && m_template->ActivatesTriggers() && m_occupancyTracker == nullptr)
        SetOccupancyTracker(new TriggerOccupancyTracker(this));
}

void Entity::SetOccupancyTracker(TriggerOccupancyTracker* tracker)
{
    m_occupancyTracker = tracker;
    SetMoveListener(EntitySpatialRecord::kOccupancyListener, tracker != nullptr);
}

void Entity::SetMoveListener(uint8_t listener, bool listens)
{
    if (listens)
        m_spatial->moveListeners |= listener;
    else
        m_spatial->moveListeners &= uint8_t(~listener);
}

void Entity::RequestDelete(uint32_t code)
{
    if (code == 0)
        DeleteMe();
    else if (EntityGameplayDelegate* const delegate = m_gameplayDelegate.Get())
        delegate->OnDeleteRequest(this, code);
}

void Entity::DrawDebug(uint32_t flags)
{
    if (m_sets == nullptr || m_sets->IsEmpty() || gRenderer == nullptr ||
        ((m_renderFlags | flags) & ENTITYRENDER_NO_SET_MARKERS) != 0)
        return;
    Vector points[8];
    const uint32_t count = GetMarkerPoints(points, 8);
    const float half = 1.2f * gDebugMarkerScale;
    for (uint32_t p = 0; p < count; ++p)
        for (int32_t k = 0; k < m_sets->Count(); ++k)
        {
            Vector center = points[p];
            center.y += 2.4f * float(k + 1);
            const BoundingBox4 box(Vector(center.x - half, center.y - half, center.z - half, 1.0f),
                                   Vector(center.x + half, center.y + half, center.z + half, 1.0f));
            Vector color;
            (*m_sets)[k]->GetColor().ToVector(color);
            gRenderer->DebugDrawBox(box, Matrix::ONE, color);
        }
}

uint32_t Entity::GetMarkerPoints(Vector* points, uint32_t capacity)
{
    if (capacity == 0)
        return 0;
    const BoundingBox4& box = GetWorldBoundingBox();
    points[0].Set((box.min.x + box.max.x) * 0.5f, box.max.y, (box.min.z + box.max.z) * 0.5f, 1.0f);
    return 1;
}

void Entity::SetLayerToActive()
{
    SetLayer(gEntityManager.GetLayerSystem().GetActiveLayerId());
    RefreshRendering();
}

void Entity::CopyRenderingState(Entity* other)
{
    if (m_spatial->renderingContext != nullptr)
        m_spatial->renderingContext->CopyLayer(other != nullptr ? other->m_spatial->renderingContext : nullptr);
}

void Entity::DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color)
{
    if (gRenderer == nullptr)
        return;
    BoundingBox4 grown = box;
    grown.min.Sub(Vector(0.01f, 0.01f, 0.01f, 0.0f));
    grown.max.Add(Vector(0.01f, 0.01f, 0.01f, 0.0f));
    Matrix placed = m_spatial->world;
    if (m_template != nullptr && m_template->GetFaceCameraMode() != 0)
        placed.LoadBillboard(m_spatial->world, m_template->GetFaceCameraMode(), gRenderer->GetCamera().inverseView,
                             m_template->GetFaceCameraOffset());
    gRenderer->DebugDrawBox(grown, placed, color);
}

void Entity::AddChild(Entity* child)
{
    m_children.Add(child);
}

void Entity::RemoveChild(Entity* child)
{
    // A child is listed once (SetParent adds only new children), so the search may start at the
    // end, where the newest children and the ones destroyed first sit.
    for (int32_t i = m_children.Count() - 1; i >= 0; --i)
        if (m_children[i] == child)
        {
            m_children.RemoveAt(i);
            return;
        }
}

void Entity::DropRenderingContextIfNeeded()
{
    if (NeedsRenderingContextChange())
        DeleteRenderingContext();
}

void Entity::RebuildRenderingContextIfNeeded()
{
    if (NeedsRenderingContextChange())
        RecreateRenderingContext(true);
}

void Entity::OnPropertyChanged(const RTTIProperty*)
{
    OnPropertiesChanged();
}

void Entity::OnPropertiesChanged()
{
    UpdateViewVisibility();
    RecreateRenderingContext(true);
}

void Entity::GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const
{
    if (propertyName == nullptr || std::strcmp(propertyName, "Mount to bone") != 0)
    {
        LuaBaseClass::GetPropertyChoices(propertyName, choices);
        return;
    }
    const MeshTemplate* const parentTemplate =
        m_parent != nullptr && m_parent->IsKindOf(ENTITY_MESH) ? dynamic_cast<const MeshTemplate*>(m_parent->GetTemplate())
                                                               : nullptr;
    if (parentTemplate == nullptr)
        return;
    choices.Clear();
    if (const MeshSkeleton* const skeleton = parentTemplate->GetSkeleton())
        for (uint32_t i = 0; i < skeleton->GetBoneCount(); ++i)
            choices.Add(skeleton->GetBone(i).name);
    // The empty entry unmounts.
    choices.Add(NameString());
}

void Entity::RefreshVisibilityFlags()
{
    InvalidateLocalCaches();
    InvalidateGlobalCaches();
    if ((m_flags & ENTITYFLAG_SELECTED) != 0)
        m_renderFlags |= ENTITYRENDER_SELECTED;
    else
        m_renderFlags &= ~uint32_t(ENTITYRENDER_SELECTED);
    UpdateViewVisibility();
}

void Entity::SetName(const char* name)
{
    if (!m_name.empty())
        gEntityManager.RemoveFromNameIndex(this);
    m_name = name != nullptr ? name : "";
    if (!m_name.empty())
        gEntityManager.AddToNameIndex(this);
}

void Entity::SetGUID(const SimpleGUID& guid)
{
    if (!m_guid.IsNull())
        gEntityManager.RemoveFromGUIDIndex(this);
    m_guid = guid;
    if (!m_guid.IsNull())
        gEntityManager.AddToGUIDIndex(this);
}

void Entity::GenerateGUID()
{
    SimpleGUID guid;
    do
        guid.Generate();
    while (gEntityManager.FindEntityByGUID(guid) != nullptr);
    SetGUID(guid);
}

void Entity::SetUniqueName()
{
    char name[EntityManager::kMaxLookupName + 1];
    for (uint32_t suffix = 0;; ++suffix)
    {
        std::snprintf(name, sizeof(name), "%s_%03u", GetTemplateName(), suffix);
        if (gEntityManager.FindEntityByName(name) == nullptr)
            break;
    }
    SetName(name);
}

const char* Entity::GetTemplateName() const
{
    return m_template != nullptr ? m_template->GetFileName() : "";
}

const char* Entity::GetTemplateFullName() const
{
    // Callers (scripts) copy the text at once, so one buffer serves every call.
    static char sTemplateFullName[260];
    const EntityTemplateStub* const stub = m_template != nullptr ? m_template->GetStub() : nullptr;
    const TemplateFolder* const folder = stub != nullptr ? stub->GetFolder() : nullptr;
    const std::string path = folder != nullptr ? folder->BuildPath(true) : std::string();
    std::snprintf(sTemplateFullName, sizeof(sTemplateFullName), "%s%s", path.c_str(), GetTemplateName());
    return sTemplateFullName;
}

const SimpleGUID& Entity::GetTemplateGUID() const
{
    return m_template != nullptr ? m_template->GetGUID() : kNullGUID;
}

bool Entity::GetTemplatePropertyValueAsString(const char* name, char* buffer, size_t size) const
{
    const RTTIProperty* const property =
        m_template != nullptr ? m_template->GetClassProperties()->FindPropertyInClassChain(name) : nullptr;
    return property != nullptr && property->ToText(m_template, buffer, size);
}

bool Entity::SetTemplatePropertyFromString(const char* name, const char* text)
{
    const RTTIProperty* const property =
        m_template != nullptr ? m_template->GetClassProperties()->FindPropertyInClassChain(name) : nullptr;
    if (property == nullptr || !property->SetFromText(m_template, text))
        return false;
    m_template->OnPropertyChanged(property);
    return true;
}

bool Entity::IsDescendantOrSelf(const Entity* candidate) const
{
    for (const Entity* walk = candidate; walk != nullptr; walk = walk->m_parent)
        if (walk == this)
            return true;
    return false;
}

void Entity::SetParent(Entity* parent, bool keepWorld, bool forced)
{
    Entity* const root = gEntityManager.GetSceneRoot();
    if (this == root)
        return;
    if (parent == nullptr)
        parent = root;
    if (m_replicationRole == ENTITYROLE_AUTHORITY &&
        !(forced && (parent == root || (parent != nullptr && parent->m_replicationRole == ENTITYROLE_AUTHORITY))))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "SetParent of multiplayer entity %d %s %s from %d %s %s to %d %s %s is forbidden %s", m_mid,
                       GetName(), GetTemplateName(), m_parent != nullptr ? m_parent->m_mid : NULL_ENTITY_MULTIPLAYER_ID,
                       m_parent != nullptr ? m_parent->GetName() : "", m_parent != nullptr ? m_parent->GetTemplateName() : "",
                       parent != nullptr ? parent->m_mid : NULL_ENTITY_MULTIPLAYER_ID, parent != nullptr ? parent->GetName() : "",
                       parent != nullptr ? parent->GetTemplateName() : "",
                       forced ? "due to parent not being multiplayer authority!" : "outside initialization!");
        return;
    }
    if (IsDescendantOrSelf(parent))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SetParent call ignored to avoid a loop");
        return;
    }
    if (parent == m_parent)
        return;
    const Matrix oldWorld = m_spatial->world;
    if (m_parent != nullptr)
        m_parent->RemoveChild(this);
    m_parent = parent;
    if (parent != nullptr)
        parent->AddChild(this);
    if (keepWorld)
    {
        if (parent != nullptr)
        {
            Matrix inverseParent;
            inverseParent.InverseOf(parent->m_spatial->world);
            m_spatial->local.Mul(inverseParent, oldWorld);
        }
        else
            m_spatial->local = oldWorld;
        InvalidateLocalCaches();
    }
    PropagateTransform(false);
    RefreshBoneMount();
}

Entity* Entity::GetChildByName(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (Entity* child : m_children)
        if (std::strcmp(child->GetName(), name) == 0)
            return child;
    return nullptr;
}

void Entity::DeleteChildren()
{
    while (!m_children.IsEmpty())
        m_children[m_children.Count() - 1]->Destroy();
}

uint32_t Entity::ListMeAndChildren(EntityListEntry* buffer, uint32_t capacity)
{
    if (capacity == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Buffer too small (%d entities) in a call to ListMeAndChildren", 0);
        return 0;
    }
    uint32_t count = 0;
    buffer[count++] = {this, 0};
    for (uint32_t walk = 0; walk < count; ++walk)
    {
        const Dynarray<Entity*>& children = buffer[walk].entity->m_children;
        for (Entity* child : children)
        {
            if (count == capacity)
            {
                gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Buffer too small (%d entities) in a call to ListMeAndChildren",
                               int(capacity));
                return count;
            }
            buffer[count++] = {child, 0};
        }
    }
    return count;
}

void Entity::DeleteMe()
{
    gEntityManager.DestroyEntity(this);
}

void Entity::RaiseFlag(uint32_t bits, bool recursive)
{
    const uint32_t effective = bits & ~m_flags;
    if (effective != 0)
    {
        m_flags |= effective;
        FlagSideEffectsRaised(effective);
    }
    if (recursive)
        for (int32_t i = 0; i < m_children.Count(); ++i)
            m_children[i]->RaiseFlag(effective != 0 ? effective : bits, true);
}

void Entity::ClearFlag(uint32_t bits, bool recursive)
{
    const uint32_t effective = bits & m_flags;
    if (effective != 0)
    {
        m_flags &= ~effective;
        FlagSideEffectsCleared(effective);
    }
    if (recursive)
        for (int32_t i = 0; i < m_children.Count(); ++i)
            m_children[i]->ClearFlag(effective != 0 ? effective : bits, true);
}

void Entity::LeaveGridAndPushTransform()
{
    gEntityManager.GetPathGrid().RemoveEntity(this);
    UpdateTransform();
}

void Entity::FlagSideEffectsRaised(uint32_t bits)
{
    if ((bits & ENTITYFLAG_SELECTED) != 0)
        m_renderFlags |= ENTITYRENDER_SELECTED;
    if ((bits & ENTITYFLAG_HIDDEN) != 0 && m_spatial->renderingContext != nullptr)
        m_spatial->renderingContext->SetFlagged(true);
    if ((bits & ENTITYFLAG_HOOKED_32) != 0)
        OnFlag32Raised();
    const bool rebuilt = (bits & kContextRebuildFlags) != 0;
    if (rebuilt)
        RecreateRenderingContext(true);
    if ((bits & ENTITYFLAG_DISABLE_UPDATE) != 0 && m_spatial->renderingContext != nullptr)
        m_spatial->renderingContext->SetFlagged(true);
    if (rebuilt || (bits & ENTITYFLAG_DISABLE_UPDATE) != 0)
        LeaveGridAndPushTransform();
}

void Entity::FlagSideEffectsCleared(uint32_t bits)
{
    if ((bits & ENTITYFLAG_SELECTED) != 0)
        m_renderFlags &= ~uint32_t(ENTITYRENDER_SELECTED);
    if ((bits & ENTITYFLAG_HOOKED_32) != 0)
        OnFlag32Cleared();
    const bool rebuilt = (bits & kContextRebuildFlags) != 0;
    if (rebuilt)
        RecreateRenderingContext(true);
    if (rebuilt || (bits & ENTITYFLAG_DISABLE_UPDATE) != 0)
        LeaveGridAndPushTransform();
    if ((bits & (ENTITYFLAG_HIDDEN | ENTITYFLAG_DISABLE_UPDATE)) != 0)
        ShowIfAllowed();
}

void Entity::ShowIfAllowed()
{
    if (m_spatial->renderingContext != nullptr && (m_flags & (ENTITYFLAG_HIDDEN | ENTITYFLAG_DISABLE_UPDATE)) == 0)
        m_spatial->renderingContext->SetFlagged(false);
}

void Entity::SetVisibleInCombatView(uint8_t setting)
{
    m_visibleInCombatView = setting;
    UpdateViewVisibility();
}

void Entity::SetVisibleInTacticalView(uint8_t setting)
{
    m_visibleInTacticalView = setting;
    UpdateViewVisibility();
}

void Entity::UpdateViewVisibility()
{
    uint32_t bits = 0;
    const bool templateCombat = m_template == nullptr || m_template->IsVisibleInCombatView();
    const bool templateTactical = m_template == nullptr || m_template->IsVisibleInTacticalView();
    if (m_visibleInCombatView == 2 || (m_visibleInCombatView == 0 && !templateCombat))
        bits |= ENTITYVIEW_HIDDEN_COMBAT;
    if (m_visibleInTacticalView == 2 || (m_visibleInTacticalView == 0 && !templateTactical))
        bits |= ENTITYVIEW_HIDDEN_TACTICAL;
    if (m_template != nullptr)
    {
        const uint8_t extended = m_template->GetVisibleInTacticalExtended();
        if (extended == 2 || (extended == 0 && !m_template->IsVisibleInTacticalView()))
            bits |= ENTITYVIEW_HIDDEN_TACTICAL_EXTENDED;
    }
    m_viewVisibility = bits;
    m_minimumQualityLevel = m_template != nullptr ? m_template->GetMinimumQualityLevel() : 0;
}

void Entity::RecreateRenderingContext(bool applyValues)
{
    DeleteRenderingContext();
    if ((m_flags & ENTITYFLAG_NO_RENDERING_CONTEXT) != 0)
        return;
    m_spatial->renderingContext = CreateRenderingContext();
    if (m_spatial->renderingContext == nullptr)
        return;
    // Nothing has named the context yet: the game thread may still fill it directly.
    EntityRenderingSource source;
    FillRenderingSource(&source);
    m_spatial->renderingContext->ApplySource(source);
    if (!applyValues)
    {
        m_spatial->renderingContext->PostRelink();
        return;
    }
    m_spatial->renderingContext->SetTransformAndBounds(m_spatial->world, m_spatial->world, IsTransformMirrored(), m_spatial->localBox);
}

void Entity::FillRenderingSource(EntityRenderingSource* source) const
{
    source->hasEntity = true;
    source->key = m_index;
    source->world = m_spatial->world;
    source->global = m_spatial->world;
    source->localBounds = m_spatial->localBox;
    source->mirrored = (m_renderFlags & ENTITYRENDER_MIRRORED) != 0;
    source->flagged = (m_flags & (ENTITYFLAG_HIDDEN | ENTITYFLAG_DISABLE_UPDATE)) != 0;
    source->randomId = m_randomId;
    source->renderingPass = m_renderingPass;
    source->sortOffset = m_sortOffset;
    source->sortOffsetFromTemplate = m_sortOffsetFromTemplate;
    source->layer = m_layer;
    source->detailLevel = m_minimumQualityLevel;
    if (m_template == nullptr)
        return;
    source->hasTemplate = true;
    source->faceCameraMode = m_template->GetFaceCameraMode();
    source->faceCameraOffset = m_template->GetFaceCameraOffset();
    m_template->GetWireframeColor().ToVector(source->wireframeColor);
    source->templateSortOffset = m_template->GetSortOffset();
}

void Entity::DeleteRenderingContext()
{
    if (m_spatial->renderingContext == nullptr)
        return;
    m_spatial->renderingContext->Release();
    m_spatial->renderingContext = nullptr;
}

void Entity::Render(uint32_t extraFlags, uint32_t frameNumber)
{
    m_lastRenderedFrame = frameNumber;
    const uint32_t flags = m_renderFlags | extraFlags;
    // Bounds the render side measures (effects) reach the world box and the grid here, before the
    // submission, so the frame draws and culls the context by them.
    if ((flags & ENTITYRENDER_REFRESH_BOUNDS) != 0)
        UpdateRenderingBounds();
    if (m_spatial->renderingContext != nullptr && gRenderer != nullptr)
        gRenderer->AddRenderTask(m_spatial->renderingContext, flags);
    else if (m_spatial->renderingContext == nullptr)
        RenderWithoutContext(flags);
}

void Entity::RenderIfFlag8(uint32_t extraFlags)
{
    if ((m_flags & ENTITYFLAG_ANIMATED) != 0)
        OnFrameHook(extraFlags | m_renderFlags);
}

void Entity::SetMID(uint16_t mid)
{
    gEntityManager.RemoveFromMIDLookup(this);
    m_mid = mid;
    if (mid != NULL_ENTITY_MULTIPLAYER_ID)
        gEntityManager.AddToMIDLookup(this);
}

void Entity::MarkReplicationDirty()
{
    if (m_replicationQueued != 0 || m_replicationRole != ENTITYROLE_AUTHORITY)
        return;
    gGame.GetEntityLists().RegisterAnimatedEntity(this, true);
    if (gMultiplayerEngine != nullptr)
        gMultiplayerEngine->MarkChanged(this);
    m_replicationQueued = 1;
}

void Entity::MarkMPPropertyChanged(uint32_t property)
{
    const uint64_t bit = property < 64 ? uint64_t(1) << property : 0;
    if (bit != 0)
        MarkReplicationDirty();
    m_pendingChangeMask |= bit;
    m_accumulatedChangeMask |= bit;
}

void Entity::ClearReplicationState()
{
    m_replicationQueued = 0;
    m_pendingChangeMask = 0;
}

void Entity::RaiseReplicationFlag(uint8_t bits, bool recursive)
{
    m_replicationFlags |= bits;
    if (recursive)
        for (Entity* child : m_children)
            child->RaiseReplicationFlag(bits, true);
}

void Entity::ClearReplicationFlag(uint8_t bits, bool recursive)
{
    m_replicationFlags &= uint8_t(~bits);
    if (recursive)
        for (Entity* child : m_children)
            child->ClearReplicationFlag(bits, true);
}

void Entity::SetOwningPlayer(Player* player)
{
    if (m_owningPlayer.Get() == player)
        return;
    m_owningPlayer.Set(player);
    MarkReplicationDirty();
}

void Entity::SetGameplayDelegate(EntityGameplayDelegate* delegate, bool owns)
{
    EntityGameplayDelegate* const old = m_gameplayDelegate.Get();
    if (old != delegate && m_ownsGameplayDelegate)
        delete old;
    m_gameplayDelegate.Set(delegate);
    m_ownsGameplayDelegate = owns ? 1 : 0;
}

void Entity::SetClickHandler(EntityClickHandler* handler, bool owns)
{
    if (m_clickHandler != handler && m_ownsClickHandler)
        delete m_clickHandler;
    m_clickHandler = handler;
    m_ownsClickHandler = owns;
}

void Entity::JoinSet(EntitySet* set)
{
    if (m_sets == nullptr)
        m_sets = new Dynarray<EntitySet*>;
    for (EntitySet* held : *m_sets)
        if (held == set)
            return;
    int32_t at = 0;
    while (at < m_sets->Count() && std::strcmp((*m_sets)[at]->GetName(), set->GetName()) <= 0)
        ++at;
    m_sets->Insert(set, at);
}

void Entity::LeaveSet(EntitySet* set)
{
    if (m_sets != nullptr)
        m_sets->RemoveValue(set);
}

void Entity::ForgetSetMemberships()
{
    delete m_sets;
    m_sets = nullptr;
}
