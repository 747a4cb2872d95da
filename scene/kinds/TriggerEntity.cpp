#include "scene/kinds/TriggerEntity.h"

#include "engine/scripting/LuaWrapper.h"
#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/PathGrid.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/kinds/TriggerTemplate.h"

#include <algorithm>
#include <cmath>

namespace
{
// DrawDebug flag: the template draws through its own DrawDebug instead of its shape.
constexpr uint32_t kDrawThroughTemplate = 1;

uintptr_t KeyOf(const Entity* entity)
{
    return reinterpret_cast<uintptr_t>(entity);
}

// A point in the shape's unit space (sphere of radius 1); false when a scale axis is 0.
bool ToUnitSpace(const Vector& local, const Vector& scale, Vector& unit)
{
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f)
        return false;
    unit.Set(local.x / scale.x, local.y / scale.y, local.z / scale.z, 1.0f);
    return true;
}

float Length2(const Vector& v)
{
    return v.x * v.x + v.y * v.y + v.z * v.z;
}
} // namespace

RTTI_DEFINE_CLASS_TABLE(TriggerEntity, Entity)

void TriggerEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = TriggerEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Active", &C::m_active));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("CustomUserData", &C::m_customUserData));
}

TriggerEntity::TriggerEntity()
{
    RaiseFlag(ENTITYFLAG_POSTFSE, false);
}

TriggerEntity* TriggerEntity::AsTrigger(Entity* entity)
{
    if (entity == nullptr || !entity->IsKindOf(ENTITY_TRIGGER))
        return nullptr;
    return dynamic_cast<TriggerEntity*>(entity);
}

void TriggerEntity::Destroy()
{
    // A report of the exits below may destroy this trigger again; the outer call finishes the job.
    if (m_destroying)
        return;
    m_destroying = true;
    ExitAll();
    Entity::Destroy();
}

TriggerEntity::ShapeInfo TriggerEntity::GetShapeInfo() const
{
    if (const TriggerTemplate* const triggerTemplate = dynamic_cast<const TriggerTemplate*>(GetTemplate()))
        return {triggerTemplate->GetShape(), triggerTemplate->GetMode(), triggerTemplate->GetScale()};
    return {TriggerTemplate::SHAPE_BOX, TriggerTemplate::MODE_POSITION_INSIDE, Vector(1.0f, 1.0f, 1.0f, 1.0f)};
}

void TriggerEntity::ApplyTemplateScale()
{
    if (GetTemplate() == nullptr)
        return;
    const Vector scale = GetShapeInfo().scale;
    const BoundingBox4& box = GetTemplate()->GetStaticBoundingBox();
    Vector a(box.min.x * scale.x, box.min.y * scale.y, box.min.z * scale.z, 1.0f);
    Vector b(box.max.x * scale.x, box.max.y * scale.y, box.max.z * scale.z, 1.0f);
    // A negative scale mirrors the shape: the same region, so the corners swap instead of leaving
    // an empty box that would keep the trigger out of the grid.
    SetLocalBoundingBox(BoundingBox4(Vector(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z), 1.0f),
                                     Vector(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z), 1.0f)));
}

void TriggerEntity::InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags)
{
    Entity::InitFromTemplate(entityTemplate, creationFlags);
    ApplyTemplateScale();
}

void TriggerEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    ApplyTemplateScale();
}

void TriggerEntity::UpdateTransform()
{
    Entity::UpdateTransform();
    CheckInside();
}

void TriggerEntity::DrawDebug(uint32_t flags)
{
    Entity::DrawDebug(flags);
    EntityTemplate* const entityTemplate = GetTemplate();
    if (entityTemplate == nullptr)
        return;
    if ((flags & kDrawThroughTemplate) != 0)
        entityTemplate->DrawDebug(GetGlobalLocationMatrix(), flags);
    else
        entityTemplate->DrawDebugShape(GetGlobalLocationMatrix(), HDRColor(255, 255, 255, 255), flags, 0);
}

void TriggerEntity::OnPostLoad(uint32_t flags)
{
    Entity::OnPostLoad(flags);
    RaiseFlag(ENTITYFLAG_POSTFSE, false);
}

void TriggerEntity::Activate(bool on)
{
    if (m_active == on)
        return;
    m_active = on;
    if (on)
        UpdateTransform();
    else
        ExitAll();
}

void TriggerEntity::CheckInside()
{
    if (!m_active)
        return;
    for (const Occupant& occupant : m_inside)
        if (Entity* const entity = occupant.entity.Get(); entity != nullptr && entity->GetOccupancyTracker() != nullptr)
            TriggerOccupancyTracker::QueueEntity(entity);
    BoundingBox4 box = GetWorldBoundingBox();
    if (!box.IsValid3())
        return;
    if (GetShapeInfo().mode == TriggerTemplate::MODE_POSITION_WITH_RADIUS)
    {
        // An entity counts from as far as its trigger radius reaches: look that much further out.
        m_queryMargin = TriggerOccupancyTracker::GetLargestRadius();
        box.min.Sub(Vector(m_queryMargin, m_queryMargin, m_queryMargin, 0.0f));
        box.max.Add(Vector(m_queryMargin, m_queryMargin, m_queryMargin, 0.0f));
    }
    PathGrid& grid = gEntityManager.GetPathGrid();
    const CellRange range = grid.ComputeRange(box);
    if (range.IsNone())
        return;
    for (int32_t z = range.z0; z < range.z1; ++z)
        for (int32_t x = range.x0; x < range.x1; ++x)
            for (const PathGridEntry& entry : grid.GetCell(uint32_t(x), uint32_t(z)).lists[PathGrid::kQueryList])
                if (entry.entity->GetOccupancyTracker() != nullptr)
                    TriggerOccupancyTracker::QueueEntity(entry.entity);
}

bool TriggerEntity::IsPositionInside(const Vector& point)
{
    Vector local = point;
    local.Transform3D(GetInversedGlobalLocationMatrix());
    const ShapeInfo info = GetShapeInfo();
    if (info.shape == TriggerTemplate::SHAPE_BOX)
        return GetLocalBoundingBox().Inside3D(local);
    Vector unit;
    return info.shape == TriggerTemplate::SHAPE_SPHERE && ToUnitSpace(local, info.scale, unit) && Length2(unit) <= 1.0f;
}

void TriggerEntity::GetClosestPoint(const Vector& point, Vector& closest)
{
    const ShapeInfo info = GetShapeInfo();
    if (info.shape == TriggerTemplate::SHAPE_BOX)
    {
        GetLocalBoundingBox().GetNearestPoint(point, GetGlobalLocationMatrix(), closest);
        return;
    }
    Vector local = point;
    local.Transform3D(GetInversedGlobalLocationMatrix());
    Vector unit;
    if (info.shape != TriggerTemplate::SHAPE_SPHERE || !ToUnitSpace(local, info.scale, unit))
    {
        closest = GetGlobalPosition();
        return;
    }
    const float length2 = Length2(unit);
    if (length2 <= 1.0f)
    {
        closest = point;
        return;
    }
    const float inverse = 1.0f / std::sqrt(length2);
    closest.Set(unit.x * inverse * info.scale.x, unit.y * inverse * info.scale.y, unit.z * inverse * info.scale.z, 1.0f);
    closest.Transform3D(GetGlobalLocationMatrix());
}

bool TriggerEntity::IsInside(Entity* entity)
{
    const ShapeInfo info = GetShapeInfo();
    switch (info.mode)
    {
    case TriggerTemplate::MODE_POSITION_INSIDE:
        return IsPositionInside(entity->GetGlobalPosition());
    case TriggerTemplate::MODE_WHOLE_ENTITY_INSIDE:
    {
        const BoundingBox4& box = entity->GetWorldBoundingBox();
        if (!box.IsValid3())
            return false;
        Vector corner;
        for (uint32_t i = 0; i < 8; ++i)
        {
            box.GetVertex(corner, i);
            if (!IsPositionInside(corner))
                return false;
        }
        return true;
    }
    case TriggerTemplate::MODE_JUST_TOUCH:
    {
        const BoundingBox4& box = entity->GetWorldBoundingBox();
        if (!box.IsValid3())
            return false;
        if (info.shape == TriggerTemplate::SHAPE_BOX)
            return GetLocalBoundingBox().CollidesWithTransformedBox3D(GetGlobalLocationMatrix(), box);
        if (info.shape != TriggerTemplate::SHAPE_SPHERE)
            return false;
        // The entity's box in the sphere's unit space (enclosed by an axis-aligned box there), and
        // its point nearest to the centre.
        BoundingBox4 local;
        local.Transform3D(box, GetInversedGlobalLocationMatrix());
        Vector low, high;
        if (!ToUnitSpace(local.min, info.scale, low) || !ToUnitSpace(local.max, info.scale, high))
            return false;
        const Vector nearest(std::clamp(0.0f, std::min(low.x, high.x), std::max(low.x, high.x)),
                             std::clamp(0.0f, std::min(low.y, high.y), std::max(low.y, high.y)),
                             std::clamp(0.0f, std::min(low.z, high.z), std::max(low.z, high.z)), 1.0f);
        return Length2(nearest) <= 1.0f;
    }
    case TriggerTemplate::MODE_POSITION_WITH_RADIUS:
    {
        const TriggerOccupancyTracker* const tracker = entity->GetOccupancyTracker();
        const float radius = tracker != nullptr ? tracker->GetRadiusForTrigger() : 0.0f;
        const Vector& position = entity->GetGlobalPosition();
        Vector closest;
        GetClosestPoint(position, closest);
        return Length2(Vector(closest.x - position.x, closest.y - position.y, closest.z - position.z, 0.0f)) <=
               radius * radius;
    }
    default:
        return false;
    }
}

int32_t TriggerEntity::FindOccupant(const Entity* entity)
{
    const uintptr_t key = KeyOf(entity);
    const Occupant* const begin = m_inside.begin();
    const Occupant* const end = begin + m_inside.Count();
    const int32_t at = int32_t(std::lower_bound(begin, end, key, [](const Occupant& o, uintptr_t k) { return o.key < k; }) - begin);
    // An occupant that died at this address left a cleared entry; a new entity there replaces it.
    if (at < m_inside.Count() && m_inside[at].key == key && m_inside[at].entity.Get() == nullptr)
        m_inside.RemoveAt(at);
    return at;
}

int32_t TriggerEntity::FindListed(const Entity* entity) const
{
    const uintptr_t key = KeyOf(entity);
    const Occupant* const begin = m_inside.begin();
    const Occupant* const end = begin + m_inside.Count();
    const Occupant* const found =
        std::lower_bound(begin, end, key, [](const Occupant& o, uintptr_t k) { return o.key < k; });
    if (entity == nullptr || found == end || found->key != key || found->entity.Get() != entity)
        return -1;
    return int32_t(found - begin);
}

bool TriggerEntity::IsListed(const Entity* entity) const
{
    return FindListed(entity) >= 0;
}

uint32_t TriggerEntity::GetCount(const Entity* entity) const
{
    const int32_t at = FindListed(entity);
    return at >= 0 ? m_inside[at].count : 0;
}

uint32_t TriggerEntity::AddToInsideList(Entity* entity)
{
    const int32_t at = FindOccupant(entity);
    if (at < m_inside.Count() && m_inside[at].entity.Get() == entity)
        return ++m_inside[at].count;
    Occupant occupant;
    occupant.entity.Set(entity);
    occupant.key = KeyOf(entity);
    occupant.count = 1;
    m_inside.Insert(occupant, at);
    return 1;
}

bool TriggerEntity::RemoveFromInsideList(const Entity* entity)
{
    const int32_t at = FindOccupant(entity);
    if (at >= m_inside.Count() || m_inside[at].entity.Get() != entity)
        return false;
    m_inside.RemoveAt(at);
    return true;
}

TriggerEntity* TriggerEntity::GetTopTrigger()
{
    TriggerEntity* top = this;
    while (TriggerEntity* parent = AsTrigger(top->GetParent()))
        top = parent;
    return top;
}

void TriggerEntity::Enter(Entity* entity)
{
    TriggerEntity* const top = GetTopTrigger();
    if (top == this)
    {
        EnterAtTop(entity);
        return;
    }
    // A child trigger counts an entity once; its top trigger counts the children that hold it.
    if (IsListed(entity))
        return;
    AddToInsideList(entity);
    top->EnterAtTop(entity);
}

void TriggerEntity::Exit(Entity* entity)
{
    TriggerEntity* const top = GetTopTrigger();
    if (top == this)
    {
        ExitAtTop(entity);
        return;
    }
    if (!IsListed(entity))
        return;
    const SafePointer<TriggerEntity> self(this);
    const SafePointer<Entity> occupant(entity);
    top->ExitAtTop(entity);
    // The report may have destroyed this trigger or the entity (whose death cleaned the lists).
    if (self.Get() != nullptr && occupant.Get() != nullptr)
        RemoveFromInsideList(entity);
}

void TriggerEntity::EnterAtTop(Entity* entity)
{
    if (AddToInsideList(entity) == 1)
        ReportEnterOrExit(entity, true);
}

void TriggerEntity::ExitAtTop(Entity* entity)
{
    const int32_t at = FindListed(entity);
    if (at < 0)
        return;
    if (--m_inside[at].count != 0)
        return;
    m_inside.RemoveAt(at);
    ReportEnterOrExit(entity, false);
}

void TriggerEntity::ReportEnterOrExit(Entity* entity, bool enter)
{
    if (EntityGameplayDelegate* const delegate = GetGameplayDelegate())
    {
        if (enter)
            delegate->OnTriggerEnter(this, entity);
        else
            delegate->OnTriggerExit(this, entity);
        return;
    }
    // An entity that cannot be handed to the script (its class unknown there, already logged) is
    // not reported rather than reported as nothing.
    if (gLua.GetState() != nullptr && gLua.PushObject(entity))
        CallScriptMethod(enter ? "OnEnter" : "OnExit", 1);
}

void TriggerEntity::ReportCleared()
{
    if (EntityGameplayDelegate* const delegate = GetGameplayDelegate())
        delegate->OnTriggerCleared(this);
    else
        CallScriptMethod("OnCleared", 0);
}

void TriggerEntity::CollectChildTriggers(SafePointerArray<TriggerEntity>& out) const
{
    for (Entity* const child : GetChildren())
        if (TriggerEntity* const trigger = AsTrigger(child))
            out.Add(SafePointer<TriggerEntity>(trigger));
}

void TriggerEntity::ExitAll()
{
    const SafePointer<TriggerEntity> self(this);
    SafePointerArray<TriggerEntity> children;
    CollectChildTriggers(children);
    for (const SafePointer<TriggerEntity>& child : children)
        if (TriggerEntity* const trigger = child.Get())
            trigger->ExitAll();
    if (self.Get() == nullptr)
        return;
    SafePointerArray<Entity> occupants;
    for (const Occupant& occupant : m_inside)
        occupants.Add(occupant.entity);
    for (int32_t i = occupants.Count() - 1; i >= 0; --i)
    {
        Entity* const entity = occupants[i].Get();
        if (entity == nullptr || !IsListed(entity))
            continue;
        if (TriggerOccupancyTracker* const tracker = entity->GetOccupancyTracker())
            tracker->RemoveTrigger(this);
        Exit(entity);
        if (self.Get() == nullptr)
            return;
    }
    // Counts left over (a child trigger that changed parents while holding entities) still end in
    // an exit: the trigger holds no entity afterwards.
    const bool top = GetTopTrigger() == this;
    while (!m_inside.IsEmpty())
    {
        const SafePointer<Entity> occupant = m_inside[m_inside.Count() - 1].entity;
        m_inside.RemoveAt(m_inside.Count() - 1);
        Entity* const entity = occupant.Get();
        if (entity == nullptr)
            continue;
        if (TriggerOccupancyTracker* const tracker = entity->GetOccupancyTracker())
            tracker->RemoveTrigger(this);
        if (top)
            ReportEnterOrExit(entity, false);
        if (self.Get() == nullptr)
            return;
    }
}

void TriggerEntity::ClearInsideList()
{
    const SafePointer<TriggerEntity> self(this);
    SafePointerArray<TriggerEntity> children;
    CollectChildTriggers(children);
    for (const SafePointer<TriggerEntity>& child : children)
        if (TriggerEntity* const trigger = child.Get())
            trigger->ClearInsideList();
    if (self.Get() == nullptr)
        return;
    for (int32_t i = m_inside.Count() - 1; i >= 0; --i)
        if (Entity* const entity = m_inside[i].entity.Get())
            if (TriggerOccupancyTracker* const tracker = entity->GetOccupancyTracker())
                tracker->RemoveTrigger(this);
    m_inside.Clear();
    ReportCleared();
}
