// Trigger occupancy: enters, exits and clears as reported through the gameplay delegate, for nested
// triggers, disabled entities, deactivation, queueing, and reports that change the scene.
#include "support/TriggerTestSupport.h"

#include <algorithm>

TEST_F(TriggerTest, AnEntityEntersAndLeavesOnTheUpdateAfterItMoves)
{
    TriggerEntity* zone = MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 50, 50);
    EXPECT_EQ(Update(), Events{});
    MoveTo(unit, 102, 98);
    EXPECT_EQ(Update(), Events{"enter zone unit"});
    EXPECT_TRUE(zone->IsListed(unit));
    EXPECT_TRUE(unit->GetOccupancyTracker()->HoldsTrigger(zone));
    MoveTo(unit, 103, 99);
    EXPECT_EQ(Update(), Events{}) << "moving inside reports nothing";
    MoveTo(unit, 200, 200);
    EXPECT_EQ(Update(), Events{"exit zone unit"});
    EXPECT_FALSE(zone->IsListed(unit));
    EXPECT_FALSE(unit->GetOccupancyTracker()->HoldsTrigger(zone));
}

TEST_F(TriggerTest, ANewTriggerOverAnEntityTakesItIn)
{
    MakeUnit("unit", 100, 100);
    Update();
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 101, 101);
    EXPECT_EQ(Update(), Events{"enter zone unit"});
}

TEST_F(TriggerTest, ChildTriggersReportOnceThroughTheirParent)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* parent = MakeTrigger("parent", t, 500, 500);
    // Far from the parent's own box: only the children hold the entity.
    TriggerEntity* left = MakeTrigger("left", t, -400, -400, parent);
    TriggerEntity* right = MakeTrigger("right", t, -396, -400, parent);
    Entity* unit = MakeUnit("unit", 100, 100);
    EXPECT_EQ(Update(), Events{"enter parent unit"});
    EXPECT_EQ(parent->GetCount(unit), 2u);
    EXPECT_EQ(left->GetCount(unit), 1u);
    EXPECT_EQ(right->GetCount(unit), 1u);
    left->Enter(unit);
    EXPECT_EQ(parent->GetCount(unit), 2u) << "a child counts an entity once";
    MoveTo(unit, 108, 100);
    EXPECT_EQ(Update(), Events{}) << "still inside the right child";
    EXPECT_EQ(parent->GetCount(unit), 1u);
    EXPECT_FALSE(left->IsListed(unit));
    MoveTo(unit, 150, 100);
    EXPECT_EQ(Update(), Events{"exit parent unit"});
    EXPECT_TRUE(parent->GetInsideList().IsEmpty());
    EXPECT_TRUE(right->GetInsideList().IsEmpty());
    MoveTo(unit, 108, 100);
    EXPECT_EQ(Update(), Events{"enter parent unit"});
    right->Activate(false);
    EXPECT_EQ(m_reports.events, (Events{"enter parent unit", "exit parent unit"})) << "a child switched off";
}

TEST_F(TriggerTest, DisablingUpdatesMakesTheEntityLeaveUntilItIsCleared)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 100, 100);
    EXPECT_EQ(Update(), Events{"enter zone unit"});
    unit->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    EXPECT_EQ(Update(), Events{"exit zone unit"});
    MoveTo(unit, 101, 100);
    EXPECT_EQ(Update(), Events{}) << "no enter while updates are disabled";
    unit->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    EXPECT_EQ(Update(), Events{"enter zone unit"});
}

TEST_F(TriggerTest, DeactivationExitsEveryoneAndReactivationRechecks)
{
    TriggerEntity* zone = MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* a = MakeUnit("a", 99, 100);
    Entity* b = MakeUnit("b", 101, 100);
    EXPECT_EQ(Update().size(), 2u);
    m_reports.events.clear();
    zone->Activate(false);
    EXPECT_EQ(m_reports.events.size(), 2u);
    EXPECT_TRUE(zone->GetInsideList().IsEmpty());
    EXPECT_FALSE(a->GetOccupancyTracker()->HoldsTrigger(zone));
    EXPECT_FALSE(b->GetOccupancyTracker()->HoldsTrigger(zone));
    MoveTo(a, 100, 101);
    EXPECT_EQ(Update(), Events{}) << "an inactive trigger takes nobody in";
    zone->Activate(true);
    Events events = Update();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (Events{"enter zone a", "enter zone b"}));
}

TEST_F(TriggerTest, AnInactiveTriggerKeepsWhatItHeldUntilItIsSwitchedOffThroughActivate)
{
    TriggerEntity* zone = MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 100, 100);
    Update();
    // A record load sets "Active" without Activate: the entity stays listed, unchanged.
    ASSERT_TRUE(SetProperty(zone, "Active", "0"));
    MoveTo(unit, 300, 300);
    EXPECT_EQ(Update(), Events{});
    EXPECT_TRUE(zone->IsListed(unit));
}

TEST_F(TriggerTest, AnEntityQueuedManyTimesIsUpdatedOnce)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 50, 50);
    Update();
    MoveTo(unit, 100, 100);
    MoveTo(unit, 60, 60);
    MoveTo(unit, 101, 100);
    TriggerOccupancyTracker::QueueEntity(unit);
    EXPECT_EQ(TriggerOccupancyTracker::GetPendingList().Count(), 1);
    EXPECT_EQ(Update(), Events{"enter zone unit"});
    EXPECT_EQ(TriggerOccupancyTracker::GetPendingList().Count(), 0);
    EXPECT_EQ(unit->GetExtraFlags() & ENTITYEXTRA_OCCUPANCY_QUEUED, 0u);
}

TEST_F(TriggerTest, QueueingIsIgnoredWhileTriggerProcessingIsOff)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 50, 50);
    Update();
    TriggerOccupancyTracker::SetQueueingEnabled(false);
    MoveTo(unit, 100, 100);
    TriggerOccupancyTracker::SetQueueingEnabled(true);
    EXPECT_EQ(Update(), Events{});
}

TEST_F(TriggerTest, MovesMadeByHandlersAreNeitherSkippedNorRepeated)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* first = MakeUnit("first", 50, 50);
    Entity* second = MakeUnit("second", 60, 60);
    Update();
    // Both enter in one pass; the first's enter throws the second out and moves itself away.
    MoveTo(first, 100, 100);
    MoveTo(second, 101, 101);
    int enters = 0;
    m_reports.then = [&](const std::string& kind, Entity*, Entity* entity) {
        if (kind != "enter")
            return;
        ++enters;
        if (entity == first)
        {
            MoveTo(second, 300, 300);
            MoveTo(first, 400, 400);
        }
    };
    EXPECT_EQ(Update(), Events{"enter zone first"}) << "the second is updated at its new place, once";
    EXPECT_EQ(enters, 1);
    // The first moved after its own update: it is queued for the next one, not lost.
    EXPECT_NE(first->GetExtraFlags() & ENTITYEXTRA_OCCUPANCY_QUEUED, 0u);
    EXPECT_EQ(Update(), Events{"exit zone first"});
    // Nobody is stuck as queued: a later move is processed.
    m_reports.then = nullptr;
    MoveTo(second, 100, 100);
    EXPECT_EQ(Update(), Events{"enter zone second"});
}

TEST_F(TriggerTest, AHandlerMayDestroyTheEntityOrTheTriggerItIsToldAbout)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* doomedZone = MakeTrigger("doomedZone", t, 100, 100);
    MakeTrigger("other", t, 102, 100);
    Entity* unit = MakeUnit("unit", 101, 100);
    SafePointer<Entity> unitAlive(unit);
    SafePointer<TriggerEntity> zoneAlive(doomedZone);
    m_reports.then = [&](const std::string& kind, Entity* trigger, Entity* entity) {
        if (kind == "enter" && trigger == zoneAlive.Get())
            zoneAlive->DeleteMe();
        else if (kind == "enter")
            entity->DeleteMe();
    };
    const Events events = Update();
    EXPECT_EQ(zoneAlive.Get(), nullptr);
    EXPECT_EQ(unitAlive.Get(), nullptr);
    EXPECT_FALSE(events.empty());

    // The first enter destroys the other trigger the entity was about to enter: it is skipped.
    SafePointer<TriggerEntity> a(MakeTrigger("a", t, 200, 200)), b(MakeTrigger("b", t, 202, 200));
    m_reports.then = [&](const std::string& kind, Entity* trigger, Entity*) {
        if (kind == "enter")
            (trigger == a.Get() ? b : a)->DeleteMe();
    };
    MakeUnit("walker", 201, 200);
    EXPECT_EQ(Update().size(), 1u);
}

TEST_F(TriggerTest, ADestroyedOccupantLeavesNoEntryInAnyTrigger)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* parent = MakeTrigger("parent", t, 500, 500);
    TriggerEntity* child = MakeTrigger("child", t, -400, -400, parent);
    Entity* unit = MakeUnit("unit", 100, 100);
    Update();
    ASSERT_TRUE(child->IsListed(unit));
    ASSERT_TRUE(parent->IsListed(unit));
    // The child moves to another parent while holding the unit: its old top keeps the count.
    TriggerEntity* other = MakeTrigger("other", t, 900, 900);
    child->SetParentInPlace(other);
    unit->DeleteMe();
    for (const TriggerEntity* trigger : {parent, child, other})
        for (const TriggerEntity::Occupant& occupant : trigger->GetInsideList())
            EXPECT_EQ(occupant.entity.Get(), nullptr) << trigger->GetName() << " still points at the dead unit";
    EXPECT_EQ(parent->GetCount(unit), 0u) << "the dead unit's entry counts for nobody";
    // An entity made afterwards (perhaps at the dead one's address) is not taken for it.
    Entity* next = MakeUnit("next", 0, 0);
    EXPECT_FALSE(parent->IsListed(next));
    EXPECT_EQ(parent->AddToInsideList(next), 1u);
}

TEST_F(TriggerTest, DestroyingATriggerReportsExitsAndEmptiesTheTrackers)
{
    TriggerEntity* zone = MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 100, 100);
    Update();
    m_reports.events.clear();
    zone->DeleteMe();
    EXPECT_EQ(m_reports.events, Events{"exit zone unit"});
    EXPECT_TRUE(unit->GetOccupancyTracker()->GetTriggers().IsEmpty());
    EXPECT_EQ(Update(), Events{});
    // A trigger the tracker names without holding the unit dies unseen: the next update drops it.
    TriggerEntity* stray = MakeTrigger("stray", MakeTriggerTemplate(5.0f), 900, 900);
    unit->GetOccupancyTracker()->AddTrigger(stray);
    unit->GetOccupancyTracker()->AddTrigger(stray);
    EXPECT_EQ(unit->GetOccupancyTracker()->GetTriggers().Count(), 1) << "held once";
    stray->DeleteMe();
    TriggerOccupancy::UpdateTracker(unit);
    EXPECT_TRUE(unit->GetOccupancyTracker()->GetTriggers().IsEmpty());
}

TEST_F(TriggerTest, ASceneWithOccupantsIsDestroyedWithoutDanglingEntries)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* parent = MakeTrigger("parent", t, 100, 100);
    MakeTrigger("child", t, 0, 0, parent);
    Entity* holder = MakeUnit("holder", 100, 100);
    // Occupants inside the trigger tree and as children of a trigger.
    MakeUnit("a", 101, 100)->SetParentInPlace(parent);
    holder->SetParentInPlace(parent);
    MakeUnit("b", 99, 99);
    Update();
    EXPECT_EQ(parent->GetInsideList().Count(), 3);
    // Exits reported during the destruction may look at the entities they name.
    m_reports.then = [](const std::string&, Entity* trigger, Entity* entity) {
        EXPECT_NE(trigger->GetName(), nullptr);
        if (entity != nullptr)
        {
            EXPECT_NE(entity->GetName(), nullptr);
        }
    };
    gEntityManager.DestroyScene();
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 0u);
}

TEST_F(TriggerTest, ClearingForgetsWithoutExitsAndReportsTheClear)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* parent = MakeTrigger("parent", t, 100, 100);
    TriggerEntity* child = MakeTrigger("child", t, 0, 0, parent);
    Entity* unit = MakeUnit("unit", 100, 100);
    Update();
    m_reports.events.clear();
    parent->ClearInsideList();
    EXPECT_EQ(m_reports.events, (Events{"clear child", "clear parent"}));
    EXPECT_TRUE(parent->GetInsideList().IsEmpty());
    EXPECT_TRUE(child->GetInsideList().IsEmpty());
    EXPECT_TRUE(unit->GetOccupancyTracker()->GetTriggers().IsEmpty());
    // The next check takes it in again.
    TriggerOccupancy::RecheckAllTriggers();
    Events events = Update();
    EXPECT_EQ(events, Events{"enter parent unit"});
    child->SetParentInPlace(nullptr);
    parent->Activate(false);
    EXPECT_EQ(m_reports.events, (Events{"enter parent unit", "exit parent unit"})) << "the count its child left";
}

TEST_F(TriggerTest, ClearAllTriggersClearsEveryTriggerOfTheScene)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    TriggerEntity* a = MakeTrigger("a", t, 100, 100);
    TriggerEntity* b = MakeTrigger("b", t, 300, 300);
    MakeUnit("u1", 100, 100);
    MakeUnit("u2", 300, 300);
    Update();
    m_reports.events.clear();
    TriggerOccupancy::ClearAllTriggers();
    Events events = m_reports.events;
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (Events{"clear a", "clear b"}));
    EXPECT_TRUE(a->GetInsideList().IsEmpty());
    EXPECT_TRUE(b->GetInsideList().IsEmpty());
}
