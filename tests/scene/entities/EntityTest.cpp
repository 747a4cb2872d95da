#include "scene/entities/Entity.h"

#include "core/memory/SlotPool.h"
#include "online/MultiplayerEngine.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/kinds/TriggerEntity.h"
#include "support/ScriptedSceneTest.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <lua.hpp>
#include <string>
#include <vector>

namespace
{
// An entity kind that records its hooks and owns a real rendering context.
class ProbeEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override
    {
        ++contextsCreated;
        return gRenderer != nullptr ? new EntityRenderingContext(*gRenderer) : nullptr;
    }
    void UpdateTransform() override
    {
        ++transformPushes;
        events += "T";
        Entity::UpdateTransform();
    }
    void OnFlag32Raised() override { events += "R32"; }
    void OnFlag32Cleared() override { events += "C32"; }

    int contextsCreated = 0;
    int transformPushes = 0;
    std::string events;
};

class ProbeTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new ProbeEntity; }
};

class TriggerTestTemplate : public EntityTemplate
{
public:
    TriggerTestTemplate() { SetTypeId(ENTITY_TRIGGER); }
    Entity* CreateEntity() override { return new TriggerEntity; }
};

class EntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_probeTemplate.SetStaticBoundingBox(CenteredBox(1.0f));
    }
    void TearDown() override
    {
        gMultiplayerEngine = nullptr;
        SceneTest::TearDown();
    }

    ProbeEntity* CreateProbe(Entity* parent = nullptr, uint32_t flags = 0)
    {
        return static_cast<ProbeEntity*>(gEntityManager.CreateEntity(&m_probeTemplate, parent, Matrix::ONE, flags, nullptr));
    }

    ProbeTemplate m_probeTemplate;
};

// Consecutive entities draw consecutive values of the classic generator: x' = x * 214013 + 2531011,
// the id bits 16 to 30 of x'.
TEST_F(EntityTest, RandomIdsFollowTheClassicGenerator)
{
    std::vector<uint32_t> ids;
    for (int i = 0; i < 64; ++i)
        ids.push_back(Create()->GetRandomId());
    for (uint32_t id : ids)
        ASSERT_LE(id, 0x7fffu);
    // The generator's state is 32 bits, of which an id shows 15: find the hidden low bits of the
    // first draw, then every later id must follow from them.
    bool explained = false;
    for (uint32_t low = 0; low < 0x10000u && !explained; ++low)
        for (uint32_t top = 0; top < 2 && !explained; ++top)
        {
            uint32_t state = (top << 31) | (ids[0] << 16) | low;
            bool all = true;
            for (size_t i = 1; i < ids.size() && all; ++i)
            {
                state = state * 214013u + 2531011u;
                all = ((state >> 16) & 0x7fffu) == ids[i];
            }
            explained = all;
        }
    EXPECT_TRUE(explained);
}

TEST_F(EntityTest, ReparentingRefusesLoopsAndKeepsTheTree)
{
    Entity* grandparent = Create();
    Entity* parent = Create(grandparent);
    Entity* child = Create(parent);
    m_log.Clear();
    grandparent->SetParent(child);
    EXPECT_TRUE(m_log.Contains("SetParent call ignored to avoid a loop", CONSOLE_ERROR));
    EXPECT_EQ(grandparent->GetParent(), Root());
    EXPECT_EQ(child->GetParent(), parent);
    m_log.Clear();
    parent->SetParent(parent);
    EXPECT_TRUE(m_log.Contains("SetParent call ignored to avoid a loop"));
    EXPECT_EQ(parent->GetParent(), grandparent);
    // The root never gets a parent, and asking is no error.
    m_log.Clear();
    Root()->SetParent(child);
    EXPECT_EQ(Root()->GetParent(), nullptr);
    EXPECT_FALSE(m_log.Contains("SetParent", CONSOLE_ERROR));
}

TEST_F(EntityTest, AuthorityEntitiesMoveOnlyUnderAuthorityWhenForced)
{
    MultiplayerEngine multiplayer;
    gMultiplayerEngine = &multiplayer;
    Entity* unit = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    unit->SetName("unit");
    Entity* plain = Create();
    plain->SetName("crate");
    m_log.Clear();
    unit->SetParent(plain);
    EXPECT_TRUE(m_log.Contains("SetParent of multiplayer entity 0 unit  from 4095 SCENE ROOT  to 4095 crate  is "
                               "forbidden outside initialization!",
                               CONSOLE_ERROR));
    EXPECT_EQ(unit->GetParent(), Root());
    m_log.Clear();
    unit->SetParent(plain, false, true);
    EXPECT_TRUE(m_log.Contains("is forbidden due to parent not being multiplayer authority!"));
    EXPECT_EQ(unit->GetParent(), Root());
    Entity* carrier = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    unit->SetParent(carrier, false, true);
    EXPECT_EQ(unit->GetParent(), carrier);
}

TEST_F(EntityTest, ChildLookupIsExactWhileManagerLookupIgnoresCase)
{
    Entity* parent = Create();
    Entity* child = Create(parent);
    child->SetName("Turret");
    EXPECT_EQ(parent->GetChildByName("Turret"), child);
    EXPECT_EQ(parent->GetChildByName("turret"), nullptr);
    EXPECT_EQ(gEntityManager.FindEntityByName("turret"), child);
}

// Entities live in the slot pool, on 64-byte boundaries, and the slots of those destroyed are handed
// back to the next made of their size, the last destroyed first, where the heap would merge and
// split them.
TEST_F(EntityTest, DestroyedEntitiesSlotsGoBackLastFirst)
{
    if (!SlotPool::kPoolsObjects)
        GTEST_SKIP() << "under the address sanitizer entities come from its heap";
    TriggerTestTemplate triggerTemplate;
    const struct
    {
        const char* kind;
        std::function<Entity*()> create;
    } kinds[] = {
        {"Entity", [this] { return Create(); }},
        {"TriggerEntity",
         [&triggerTemplate] { return gEntityManager.CreateEntity(&triggerTemplate, nullptr, Matrix::ONE, 0, nullptr); }},
    };
    for (const auto& kind : kinds)
    {
        std::vector<Entity*> made;
        for (int i = 0; i < 64; ++i)
        {
            made.push_back(kind.create());
            EXPECT_EQ(reinterpret_cast<uintptr_t>(made.back()) % 64, 0u) << kind.kind;
        }
        for (Entity* entity : made)
            entity->DeleteMe();
        std::vector<Entity*> again;
        for (size_t i = 0; i < made.size(); ++i)
            again.push_back(kind.create());
        EXPECT_TRUE(std::equal(again.begin(), again.end(), made.rbegin())) << kind.kind;
        for (Entity* entity : again)
            entity->DeleteMe();
    }
}

TEST_F(EntityTest, DestroyingAParentDestroysChildrenFirstAndClearsSafePointers)
{
    Entity* parent = Create();
    Entity* a = Create(parent);
    Entity* b = Create(a);
    SafePointer<Entity> watchA(a), watchB(b);
    a->SetName("a");
    parent->DeleteMe();
    EXPECT_FALSE(watchA);
    EXPECT_FALSE(watchB);
    EXPECT_EQ(gEntityManager.FindEntityByName("a"), nullptr);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 1u);
}

TEST_F(EntityTest, ListMeAndChildrenIsBreadthFirstAndCutAtTheCapacity)
{
    Entity* top = Create();
    Entity* a = Create(top);
    Entity* b = Create(top);
    Entity* a1 = Create(a);
    EntityListEntry list[4];
    ASSERT_EQ(top->ListMeAndChildren(list, 4), 4u);
    EXPECT_EQ(list[0].entity, top);
    EXPECT_EQ(list[1].entity, a);
    EXPECT_EQ(list[2].entity, b);
    EXPECT_EQ(list[3].entity, a1);
    m_log.Clear();
    EXPECT_EQ(top->ListMeAndChildren(list, 2), 2u);
    EXPECT_TRUE(m_log.Contains("Buffer too small (2 entities) in a call to ListMeAndChildren", CONSOLE_ERROR));
    EXPECT_EQ(top->ListMeAndChildren(list, 0), 0u);
    EXPECT_TRUE(m_log.Contains("Buffer too small (0 entities)", CONSOLE_ERROR));
    const uint32_t live = gEntityManager.GetLiveEntityCount();
    top->DeleteChildren();
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live - 3);
}

TEST_F(EntityTest, FlagSideEffectsRunOnlyForBitsThatChangedInOrder)
{
    ProbeEntity* parent = CreateProbe();
    ProbeEntity* child = CreateProbe(parent);
    parent->events.clear();
    child->events.clear();
    parent->RaiseFlag(ENTITYFLAG_SELECTED | ENTITYFLAG_HOOKED_32 | ENTITYFLAG_DISABLE_UPDATE, true);
    EXPECT_TRUE(parent->GetRenderFlags() & ENTITYRENDER_SELECTED);
    EXPECT_EQ(parent->events, "R32T");
    EXPECT_EQ(child->events, "R32T");
    EXPECT_TRUE(parent->GetCellRange(PathGrid::kQueryList).IsNone());
    // Already set: nothing runs for it, not even the hooks, though a new bit comes with it;
    // children get the same bits.
    parent->events.clear();
    child->events.clear();
    parent->RaiseFlag(ENTITYFLAG_HOOKED_32 | ENTITYFLAG_HIDDEN, true);
    EXPECT_EQ(parent->events, "");
    EXPECT_EQ(child->events, "");
    // A child with the bit already clear is handed the bits the parent cleared.
    child->ClearFlag(ENTITYFLAG_HOOKED_32, false);
    child->events.clear();
    parent->ClearFlag(ENTITYFLAG_HOOKED_32 | ENTITYFLAG_DISABLE_UPDATE, true);
    EXPECT_EQ(parent->events, "C32T");
    EXPECT_EQ(child->events, "T");
    EXPECT_FALSE(parent->GetCellRange(PathGrid::kQueryList).IsNone());
    parent->ClearFlag(ENTITYFLAG_SELECTED, false);
    EXPECT_FALSE(parent->GetRenderFlags() & ENTITYRENDER_SELECTED);
}

TEST_F(EntityTest, ContextFlagsRebuildTheContextAndMoveTheGridLists)
{
    ProbeEntity* e = CreateProbe();
    e->RaiseFlag(ENTITYFLAG_NO_SPATIAL_QUERIES, false);
    EXPECT_TRUE(e->GetCellRange(PathGrid::kQueryList).IsNone());
    EXPECT_FALSE(e->GetCellRange(PathGrid::kRenderList).IsNone());
    e->ClearFlag(ENTITYFLAG_NO_SPATIAL_QUERIES, false);
    e->RaiseFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    EXPECT_FALSE(e->GetCellRange(PathGrid::kQueryList).IsNone());
    EXPECT_TRUE(e->GetCellRange(PathGrid::kRenderList).IsNone());
    const int created = e->contextsCreated;
    e->ClearFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    EXPECT_EQ(e->contextsCreated, created + 1);
    EXPECT_FALSE(e->GetCellRange(PathGrid::kRenderList).IsNone());
}

TEST_F(EntityTest, ViewVisibilityFollowsSettingsAndTemplate)
{
    Entity* e = Create();
    // Template defaults: visible in combat view, not in tactical view, tactical extended same as it.
    EXPECT_EQ(e->GetViewVisibility(), uint32_t(ENTITYVIEW_HIDDEN_TACTICAL | ENTITYVIEW_HIDDEN_TACTICAL_EXTENDED));
    e->SetVisibleInTacticalView(1);
    e->SetVisibleInCombatView(2);
    EXPECT_EQ(e->GetViewVisibility(), uint32_t(ENTITYVIEW_HIDDEN_COMBAT | ENTITYVIEW_HIDDEN_TACTICAL_EXTENDED));
    ASSERT_TRUE(m_template->GetClassProperties()->FindProperty("Visible in tactical extended")->SetFromText(m_template, "1"));
    ASSERT_TRUE(m_template->GetClassProperties()->FindProperty("Minimum quality level")->SetFromText(m_template, "3"));
    e->UpdateViewVisibility();
    EXPECT_EQ(e->GetViewVisibility(), uint32_t(ENTITYVIEW_HIDDEN_COMBAT));
    EXPECT_EQ(e->GetMinimumQualityLevel(), 3);
}

TEST_F(EntityTest, LuaClassNameAndKindComeFromTheTemplate)
{
    Entity* e = Create();
    EXPECT_STREQ(e->GetScriptClassName(), "Entity");
    m_template->SetLuaClass("Soldier");
    EXPECT_STREQ(e->GetScriptClassName(), "Soldier");
    SimpleGUID guid;
    guid.bytes[2] = 7;
    m_template->SetGUID(guid);
    EXPECT_TRUE(e->GetTemplateGUID() == guid);
    // The root has no template: it is of no kind, not even the one every kind derives from.
    EXPECT_EQ(Root()->GetTemplateTypeId(), uint32_t(ENTITY_UNKNOWN));
    EXPECT_FALSE(Root()->IsKindOf(ENTITY_NULL));
    EXPECT_TRUE(Root()->GetTemplateGUID() == SimpleGUID());
}

TEST_F(EntityTest, ADestroyedEntityLeavesEveryTriggerThatListsIt)
{
    TriggerTestTemplate triggerTemplate;
    ASSERT_TRUE(m_template->GetClassProperties()->FindProperty("Activates triggers")->SetFromText(m_template, "1"));
    auto* parentTrigger =
        static_cast<TriggerEntity*>(gEntityManager.CreateEntity(&triggerTemplate, nullptr, Matrix::ONE, 0, nullptr));
    auto* childTrigger =
        static_cast<TriggerEntity*>(gEntityManager.CreateEntity(&triggerTemplate, parentTrigger, Matrix::ONE, 0, nullptr));
    EXPECT_EQ(childTrigger->GetTopTrigger(), parentTrigger);

    Entity* unit = Create();
    unit->PostCreateInit();
    ASSERT_NE(unit->GetOccupancyTracker(), nullptr);
    Entity* bystander = Create();
    childTrigger->AddToInsideList(unit);
    parentTrigger->AddToInsideList(unit);
    EXPECT_EQ(parentTrigger->AddToInsideList(unit), 2u);
    parentTrigger->AddToInsideList(bystander);
    unit->GetOccupancyTracker()->AddTrigger(childTrigger);
    unit->DeleteMe();
    EXPECT_TRUE(childTrigger->GetInsideList().IsEmpty());
    ASSERT_EQ(parentTrigger->GetInsideList().Count(), 1);
    EXPECT_EQ(parentTrigger->GetInsideList()[0].entity, bystander);
    parentTrigger->DeleteMe();
    TriggerOccupancyTracker::ClearPendingList();
}

TEST_F(EntityTest, SetsForgetDeletedMembersButKeepTheirPlaces)
{
    Entity* a = Create();
    Entity* b = Create();
    Entity* c = Create();
    EntitySet* set = new EntitySet;
    set->SetName("squad");
    gEntityManager.GetEntitySets().Add(set);
    set->AddEntity(a);
    set->AddEntity(b);
    set->AddEntity(c);
    set->AddEntity(b);
    ASSERT_EQ(set->GetEntities().Count(), 3);
    b->DeleteMe();
    ASSERT_EQ(set->GetEntities().Count(), 3);
    EXPECT_EQ(set->GetEntities()[0].Get(), a);
    EXPECT_EQ(set->GetEntities()[1].Get(), nullptr);
    EXPECT_EQ(set->GetEntities()[2].Get(), c);
    ASSERT_NE(a->GetSets(), nullptr);
    EXPECT_EQ((*a->GetSets())[0], set);
    // Without a renderer the set markers and boxes are not drawn at all.
    ASSERT_EQ(gRenderer, nullptr);
    a->DrawDebug(0);
    a->DebugDrawBoundingBox(a->GetWorldBoundingBox(), Vector::ONE);
}

TEST_F(EntityTest, SetMembershipSurvivesAReloadOnce)
{
    Entity* a = Create();
    Entity* b = Create();
    EntitySet* alpha = new EntitySet;
    alpha->SetName("alpha");
    EntitySet* zulu = new EntitySet;
    zulu->SetName("zulu");
    gEntityManager.GetEntitySets().Add(zulu);
    gEntityManager.GetEntitySets().Add(alpha);
    zulu->AddEntity(a);
    alpha->AddEntity(a);
    alpha->AddEntity(b);
    // The entity's list is sorted by set name.
    ASSERT_EQ(a->GetSets()->Count(), 2);
    EXPECT_EQ((*a->GetSets())[0], alpha);

    const size_t size = alpha->SerializeToMemory(nullptr, 0, 0);
    std::vector<uint8_t> record(size);
    ASSERT_EQ(alpha->SerializeToMemory(record.data(), record.size(), 0), size);
    ASSERT_TRUE(alpha->DeserializeFromMemory(record.data(), record.size(), 0));
    EXPECT_EQ(a->GetSets()->Count(), 2);
    EXPECT_EQ(b->GetSets()->Count(), 1);
    ASSERT_EQ(alpha->GetEntities().Count(), 2);
    EXPECT_EQ(alpha->GetEntities()[1].Get(), b);
    // A truncated record changes nothing.
    EXPECT_FALSE(alpha->DeserializeFromMemory(record.data(), record.size() - 3, 0));
    EXPECT_EQ(b->GetSets()->Count(), 1);
    gEntityManager.DeleteAllEntitySets();
    EXPECT_EQ(a->GetSets()->Count(), 0);
}

using EntityScriptHookTest = ScriptedSceneTest;

TEST_F(EntityScriptHookTest, TargetingTurnsGoToTheDelegateElseToTheScript)
{
    ASSERT_TRUE(gLua.LoadAndCall("turns = '' "
                                 "function Entity:OnProcTargetingAnimRotStart() turns = turns .. '+' end "
                                 "function Entity:OnProcTargetingAnimRotStop() turns = turns .. '-' end",
                                 0));
    struct StartsHeard : EntityGameplayDelegate
    {
        void OnProcTargetingAnimRotStart(Entity*) override { ++starts; }
        int starts = 0;
    } heard;
    m_delegate.running = true;
    Entity* e = Create();
    e->OnProcTargetingAnimRotStart();
    e->OnProcTargetingAnimRotStop();
    e->SetGameplayDelegate(&heard, false);
    e->OnProcTargetingAnimRotStart();
    e->OnProcTargetingAnimRotStop(); // the delegate's own default: nothing, and no script
    EXPECT_EQ(heard.starts, 1);
    lua_getglobal(gLua.GetState(), "turns");
    EXPECT_STREQ(lua_tostring(gLua.GetState(), -1), "+-");
    lua_pop(gLua.GetState(), 1);
}
} // namespace
