// TriggerEntity: a region (its shape from its TriggerTemplate) that knows which entities are inside
// it and reports when one enters or leaves and when it is cleared, to its gameplay delegate or else
// to its script ("OnEnter", "OnExit", "OnCleared"). Only the top trigger of a tree of triggers
// reports; child triggers count for it. Occupancy itself is computed lazily by TriggerOccupancy.
// Main thread only.
//
// Reports run scripts, and scripts may move, destroy or deactivate anything, this trigger and the
// entity reported included: every walk over a list that a report may change walks a snapshot of
// safe pointers and checks what it holds is still there.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "scene/entities/Entity.h"

#include <cstdint>
#include <string>

class TriggerTemplate;

// A trigger entity with its inside list (entities sorted by address, with a report count).
class TriggerEntity : public Entity
{
    RTTI_DECLARE_CLASS(TriggerEntity, Entity)

public:
    // One entity inside. The list is sorted by the address the entity had when it entered (the
    // key); the pointer is a safe one, so an occupant that dies by any road never leaves a dangling
    // entry, only a cleared one that the next look-up at its key drops.
    struct Occupant
    {
        SafePointer<Entity> entity;
        uintptr_t key = 0;
        uint32_t count = 0;
    };

    TriggerEntity();

    // Entity slots.
    void Destroy() override;
    void InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags) override;
    void ResetBoundsFromTemplate(const char* propertyName) override;
    void UpdateTransform() override;
    void DrawDebug(uint32_t flags) override;
    void OnPostLoad(uint32_t flags) override;

    bool IsActive() const { return m_active; }
    // Switching on re-checks the trigger; switching off makes every entity inside exit.
    void Activate(bool on);
    const std::string& GetCustomUserData() const { return m_customUserData; }

    // Queues for an occupancy update every entity inside and every participating entity in the grid
    // cells under the trigger (active triggers only).
    void CheckInside();
    // The shape test against the entity by the template's "Trigger mode".
    bool IsInside(Entity* entity);
    bool IsPositionInside(const Vector& point);
    // The point of the shape nearest to a world point.
    void GetClosestPoint(const Vector& point, Vector& closest);
    // Forgets every entity inside without exit reports (child triggers first), then reports the clear.
    void ClearInsideList();
    // Every entity inside exits (child triggers first); deactivation and destruction.
    void ExitAll();

    // The enter and exit of one entity at this trigger, counted and reported at the top trigger.
    void Enter(Entity* entity);
    void Exit(Entity* entity);

    const DynarraySafe<Occupant>& GetInsideList() const { return m_inside; }
    bool IsListed(const Entity* entity) const;
    uint32_t GetCount(const Entity* entity) const;
    // Adds the entity with count 1, or raises its count; returns the new count.
    uint32_t AddToInsideList(Entity* entity);
    // Takes the entity out whatever its count; false when it was not listed.
    bool RemoveFromInsideList(const Entity* entity);
    // The highest trigger reached from this one's parent while parents are triggers (this one at the top).
    TriggerEntity* GetTopTrigger();
    // The entity as a trigger: of the trigger kind and made as one; else null.
    static TriggerEntity* AsTrigger(Entity* entity);

private:
    // The template's shape values, or those of a new trigger template when the template is of
    // another class.
    struct ShapeInfo
    {
        uint32_t shape;
        uint32_t mode;
        Vector scale;
    };
    ShapeInfo GetShapeInfo() const;
    void ApplyTemplateScale();
    // Index of the entity's entry, or of where it would go; drops a cleared entry at that key.
    int32_t FindOccupant(const Entity* entity);
    int32_t FindListed(const Entity* entity) const;
    void EnterAtTop(Entity* entity);
    void ExitAtTop(Entity* entity);
    void ReportEnterOrExit(Entity* entity, bool enter);
    void ReportCleared();
    void CollectChildTriggers(SafePointerArray<TriggerEntity>& out) const;

    DynarraySafe<Occupant> m_inside;
    float m_queryMargin = 0.0f;
    bool m_active = true;
    bool m_destroying = false;
    std::string m_customUserData;
};
