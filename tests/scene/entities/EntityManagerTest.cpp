#include "scene/entities/EntityManager.h"

#include "gameplay/navigation/NavigationGrid.h"
#include "online/MultiplayerEngine.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/EntitySetIterator.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"

#include <string>
#include <utility>

namespace
{
class EntityManagerTest : public SceneTest
{
protected:
    void TearDown() override
    {
        gMultiplayerEngine = nullptr;
        SceneTest::TearDown();
    }

    // What a refused creation must leave as it was.
    struct Trace
    {
        uint32_t live;
        uint32_t counter;
        int32_t names;
        int32_t guids;
        uint32_t dynamicIds;
        uint32_t staticIds;
        bool operator==(const Trace&) const = default;
    };
    Trace Snapshot() const
    {
        return {gEntityManager.GetLiveEntityCount(), gEntityManager.GetCreationCounter(),
                gEntityManager.GetNameIndex().Count(), gEntityManager.GetGUIDIndex().Count(),
                gEntityManager.GetDynamicMIDsInUse(), gEntityManager.GetStaticMIDsHandedOut()};
    }

    MultiplayerEngine m_multiplayer;
};

TEST_F(EntityManagerTest, CreationRunsTheCoreRoad)
{
    Entity* parent = Create(nullptr, Translation(5, 0, 5));
    Entity* child = Create(parent, Translation(1, 0, 0));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(parent->GetParent(), Root());
    EXPECT_EQ(child->GetParent(), parent);
    EXPECT_EQ(child->GetTemplate(), m_template);
    EXPECT_EQ(m_template->GetUserReferences(), 2u);
    EXPECT_FALSE(child->GetGUID().IsNull());
    EXPECT_EQ(gEntityManager.FindEntityByGUID(child->GetGUID()), child);
    EXPECT_FLOAT_EQ(child->GetGlobalPosition().x, 6.0f);
    EXPECT_EQ(gEntityManager.GetCreationCounter(), 2u);
    // The root and the two entities.
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 3u);

    Entity* unnamed = gEntityManager.CreateEntity(m_template, nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION, nullptr);
    EXPECT_TRUE(unnamed->GetGUID().IsNull());
    unnamed->DeleteMe();
    parent->DeleteMe();
    EXPECT_EQ(m_template->GetUserReferences(), 0u);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 1u);
}

TEST_F(EntityManagerTest, LiveEntityLimitRefusesWithoutTrace)
{
    std::vector<Entity*> made;
    while (gEntityManager.GetLiveEntityCount() < kMaxEntities)
        made.push_back(Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION));
    // A full scene is gathered whole: the last index has its visited bit too.
    VisibleEntityGatherOptions everywhere;
    everywhere.frustumBox = CenteredBox(1.0f);
    gEntityManager.GatherVisibleEntities(everywhere);
    EXPECT_EQ(gEntityManager.GetVisibleList().Count(), int32_t(made.size()));
    gEntityManager.ClearVisibleLists();
    const Trace before = Snapshot();
    m_log.Clear();
    EXPECT_EQ(Create(), nullptr);
    EXPECT_TRUE(m_log.Contains("Too many entities! Current limit: 32768", CONSOLE_ERROR));
    EXPECT_EQ(Snapshot(), before);
    made.back()->DeleteMe();
    EXPECT_NE(Create(), nullptr);
}

TEST_F(EntityManagerTest, ARootMadeWhileAnOldTreeLivesGetsNoIndexPastTheMaps)
{
    while (gEntityManager.GetLiveEntityCount() < kMaxEntities)
        Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION);
    // An authority root waits for its deferred destruction, so the new root is one too many.
    Entity* const oldRoot = Root();
    oldRoot->SetReplicationRole(ENTITYROLE_AUTHORITY);
    m_log.Clear();
    gEntityManager.NewScene();
    EXPECT_TRUE(m_log.Contains("Entity index space exhausted", CONSOLE_ERROR));
    EXPECT_EQ(Root()->GetIndex(), kNoEntityIndex);
    // Without an index, its transform is its own.
    Root()->SetLocalPosition(Vector(7, 0, 7, 1));
    EXPECT_FLOAT_EQ(Root()->GetGlobalPosition().x, 7.0f);
    EXPECT_FLOAT_EQ(oldRoot->GetGlobalPosition().x, 0.0f);
    // Its set network leaves it out by identity, as the index map cannot hold it.
    Root()->AddToSet("Roots", true);
    oldRoot->AddToSet("Roots", false);
    EntitySetIterator network;
    network.InitFromNetwork(Root());
    EXPECT_EQ(network.GetNext(), oldRoot);
    EXPECT_EQ(network.GetNext(), nullptr);
    Root()->SetLocalPosition(Vector(0, 0, 0, 1));
    EXPECT_EQ(Create(), nullptr);
    gGame.GetEntityLists().FireDueEntityCalls(true, 0);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 1u);
    Entity* fresh = Create(nullptr, Translation(5, 0, 5));
    ASSERT_NE(fresh, nullptr);
    EXPECT_LT(fresh->GetIndex(), kMaxEntities);
    EXPECT_FALSE(fresh->GetCellRange(PathGrid::kQueryList).IsNone());
}

TEST_F(EntityManagerTest, DynamicIdLimitRefusesAndAFreedIdLetsTheNextOneIn)
{
    gMultiplayerEngine = &m_multiplayer;
    std::vector<Entity*> made;
    for (uint32_t i = 0; i < kDynamicMIDCount; ++i)
        made.push_back(Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY | ENTITYCREATION_NOGUIDGENERATION));
    EXPECT_EQ(made.front()->GetMID(), 0);
    EXPECT_EQ(made.back()->GetMID(), 3071);
    EXPECT_EQ(gEntityManager.GetEntityByMID(3071), made.back());
    const Trace before = Snapshot();
    m_log.Clear();
    EXPECT_EQ(Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY), nullptr);
    EXPECT_TRUE(m_log.Contains(
        "CreateEntity MULTIPLAYER_AUTHORITY - too many dynamic multiplayer entities! Current limit: 3072", CONSOLE_ERROR));
    EXPECT_EQ(Snapshot(), before);

    gEntityManager.FreeMID(17);
    Entity* next = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetMID(), 17);
    // Authority entities wait for their network initialisation with updates off.
    EXPECT_TRUE(next->HasFlag(ENTITYFLAG_DISABLE_UPDATE));
    EXPECT_EQ(gGame.GetEntityLists().GetUnsortedCalls().Count(), int32_t(kDynamicMIDCount) + 1);
}

TEST_F(EntityManagerTest, StaticIdsCountUpAndThe1024thIsRefused)
{
    gMultiplayerEngine = &m_multiplayer;
    Entity* first = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_STATIC);
    Entity* second = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_STATIC);
    EXPECT_EQ(first->GetMID(), 3072);
    EXPECT_EQ(second->GetMID(), 3073);
    for (uint32_t i = 2; i < kStaticMIDCount; ++i)
        ASSERT_NE(Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_STATIC), nullptr);
    const Trace before = Snapshot();
    m_log.Clear();
    EXPECT_EQ(Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_STATIC), nullptr);
    EXPECT_TRUE(m_log.Contains(
        "CreateEntity MULTIPLAYER_AUTHORITY - too many static multiplayer entities! Current limit: 1023", CONSOLE_ERROR));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(gEntityManager.AllocStaticMID(), NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_EQ(gEntityManager.GetStaticMIDsHandedOut(), kStaticMIDCount);
}

TEST_F(EntityManagerTest, AuthorityChildOfPlainParentIsRefusedBeforeAnyLimit)
{
    gMultiplayerEngine = &m_multiplayer;
    Entity* plain = Create();
    plain->SetName("plain");
    const Trace before = Snapshot();
    m_log.Clear();
    EXPECT_EQ(Create(plain, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY), nullptr);
    EXPECT_TRUE(m_log.Contains("CreateEntity MULTIPLAYER_AUTHORITY - parent is not replicable while child is template:",
                               CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("parent:plain"));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(plain->GetChildren().IsEmpty());
}

TEST_F(EntityManagerTest, NameLookupsIgnoreCaseAndKeepEqualNamesInCreationOrder)
{
    Entity* a = Create();
    Entity* b = Create();
    Entity* c = Create();
    a->SetName("Tower");
    b->SetName("tower");
    c->SetName("TOWER");
    const Dynarray<Entity*>& index = gEntityManager.GetNameIndex();
    int32_t first = -1;
    for (int32_t i = 0; i < index.Count(); ++i)
        if (index[i] == a)
            first = i;
    ASSERT_GE(first, 0);
    ASSERT_LT(first + 2, index.Count());
    EXPECT_EQ(index[first + 1], b);
    EXPECT_EQ(index[first + 2], c);
    EXPECT_EQ(gEntityManager.FindEntityByName("tOwEr"), a);
    // Removal takes the renamed entity's own entry out of the run of equal names.
    b->SetName("Bunker");
    // The walk is a view of the index as it was when asked for: ask again after a change.
    const Dynarray<Entity*>& renamed = gEntityManager.GetNameIndex();
    int32_t at = -1;
    for (int32_t i = 0; i < renamed.Count(); ++i)
        if (renamed[i] == a)
            at = i;
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 1, renamed.Count());
    EXPECT_EQ(renamed[at + 1], c);
    EXPECT_EQ(gEntityManager.FindEntityByName("bunker"), b);
    a->DeleteMe();
    EXPECT_EQ(gEntityManager.FindEntityByName("tower"), c);
    // The longest name a lookup takes is found; one letter more is never looked up.
    const std::string longest(EntityManager::kMaxLookupName, 'a');
    b->SetName(longest.c_str());
    EXPECT_EQ(gEntityManager.FindEntityByName(longest.c_str()), b);
    b->SetName((longest + "a").c_str());
    EXPECT_EQ(gEntityManager.FindEntityByName((longest + "a").c_str()), nullptr);
    EXPECT_EQ(gEntityManager.FindEntityByName(""), nullptr);
}

TEST_F(EntityManagerTest, EqualGUIDsLeaveTheIndexOneByOne)
{
    Entity* a = Create();
    Entity* b = Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION);
    b->SetGUID(a->GetGUID());
    a->DeleteMe();
    // The survivor keeps its entry: the dead twin removed its own.
    EXPECT_EQ(gEntityManager.FindEntityByGUID(b->GetGUID()), b);
}

TEST_F(EntityManagerTest, MidLookupsAndTheRemovalOfAForeignSlot)
{
    EXPECT_EQ(gEntityManager.GetEntityByMID(NULL_ENTITY_MULTIPLAYER_ID), nullptr);
    EXPECT_EQ(gEntityManager.GetEntityByMID(5000), nullptr);
    Entity* a = Create();
    Entity* b = Create();
    a->SetName("a");
    b->SetName("b");
    a->SetMID(12);
    m_log.Clear();
    b->SetMID(12);
    EXPECT_TRUE(m_log.Contains("Entity already in lookup mid:12 newEntName:b oldEntName:a", CONSOLE_ERROR));
    EXPECT_EQ(gEntityManager.GetEntityByMID(12), b);
    // a still believes it has mid 12; moving it away must not clear b's slot.
    m_log.Clear();
    a->SetMID(NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_TRUE(m_log.Contains("Removing wrong entity from lookup mid:12 newEntName:a oldEntName:b", CONSOLE_ERROR));
    EXPECT_EQ(gEntityManager.GetEntityByMID(12), b);
    b->DeleteMe();
    EXPECT_EQ(gEntityManager.GetEntityByMID(12), nullptr);
}

TEST_F(EntityManagerTest, DynamicIdsAreLowestFirstAndFreeCountsOnce)
{
    EXPECT_EQ(gEntityManager.AllocDynamicMID(), 0);
    EXPECT_EQ(gEntityManager.AllocDynamicMID(), 1);
    EXPECT_EQ(gEntityManager.AllocDynamicMID(), 2);
    gEntityManager.FreeMID(1);
    gEntityManager.FreeMID(1);
    gEntityManager.FreeMID(NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_EQ(gEntityManager.GetDynamicMIDsInUse(), 2u);
    EXPECT_EQ(gEntityManager.AllocDynamicMID(), 1);
    Entity* e = Create();
    e->SetMID(2);
    gEntityManager.ClearMIDLookup();
    EXPECT_EQ(e->GetMID(), NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_EQ(gEntityManager.GetEntityByMID(2), nullptr);
    EXPECT_EQ(gEntityManager.GetDynamicMIDsInUse(), 0u);
}

TEST_F(EntityManagerTest, NewSceneStartsAFreshTree)
{
    Entity* e = Create();
    e->SetName("old");
    SafePointer<Entity> watch(e);
    gEntityManager.SetSceneName("Level01");
    gEntityManager.GetEntitySets().Add(new EntitySet);
    gEntityManager.GetLayerSystem().GetRoot().GetLayers()[0]->SetName("Renamed");
    m_log.Clear();
    gEntityManager.NewScene();
    EXPECT_FALSE(watch);
    EXPECT_STREQ(gEntityManager.GetSceneName(), "");
    EXPECT_EQ(gEntityManager.FindEntityByName("old"), nullptr);
    EXPECT_STREQ(Root()->GetName(), "SCENE ROOT");
    EXPECT_EQ(gEntityManager.FindEntityByName("scene root"), Root());
    EXPECT_EQ(gEntityManager.GetCreationCounter(), 0u);
    EXPECT_TRUE(gEntityManager.GetEntitySets().IsEmpty());
    EXPECT_STREQ(gEntityManager.GetLayerSystem().GetRoot().GetLayers()[0]->GetName(), "Default");
    EXPECT_TRUE(m_log.Contains("NewScene in "));
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 1u);
}

TEST_F(EntityManagerTest, ANewSceneEmptiesTheIndexesAndCellsAndAnEntityOutsideTheTreeMovesIntoThemAgain)
{
    Entity* parent = Create(nullptr, Translation(15, 0, 15));
    Entity* child = Create(parent, Translation(10, 0, 0));
    parent->SetName("parent");
    child->SetName("child");
    const SimpleGUID childGUID = child->GetGUID();
    ASSERT_FALSE(childGUID.IsNull());
    // An entity no parent holds lives through the teardown in the cell at (45, 45).
    Entity* loose = m_template->CreateEntity();
    loose->InitFromTemplate(m_template, 0);
    loose->SetLocalLocationMatrix(Translation(45, 0, 45));
    ASSERT_EQ(gEntityManager.GetPathGrid().GetCell(4, 4).lists[PathGrid::kRenderList].Count(), 1);

    gEntityManager.NewScene();
    EXPECT_EQ(gEntityManager.FindEntityByName("child"), nullptr);
    EXPECT_EQ(gEntityManager.FindEntityByGUID(childGUID), nullptr);
    EXPECT_EQ(gEntityManager.GetNameIndex().Count(), 1) << "the new root alone";
    EXPECT_EQ(gEntityManager.GetGUIDIndex().Count(), 0);
    const PathGrid& grid = gEntityManager.GetPathGrid();
    for (uint32_t z = 0; z < grid.GetCountZ(); ++z)
        for (uint32_t x = 0; x < grid.GetCountX(); ++x)
            for (int list = 0; list < 2; ++list)
                ASSERT_EQ(grid.GetCell(x, z).lists[list].Count(), 0) << x << "," << z;
    for (int list = 0; list < 2; ++list)
        EXPECT_TRUE(loose->GetCellRange(list).IsNone());

    // Back in the very cell it left: it enters each list once.
    loose->SetLocalLocationMatrix(Translation(45, 0, 46));
    for (int list = 0; list < 2; ++list)
    {
        ASSERT_EQ(grid.GetCell(4, 4).lists[list].Count(), 1);
        EXPECT_EQ(grid.GetCell(4, 4).lists[list][0].entity, loose);
    }
    // A fresh entity with the dead one's GUID and name is the one found.
    Entity* again = Create(nullptr, Translation(25, 0, 15));
    again->SetName("child");
    again->SetGUID(childGUID);
    EXPECT_EQ(gEntityManager.FindEntityByName("CHILD"), again);
    EXPECT_EQ(gEntityManager.FindEntityByGUID(childGUID), again);
    gEntityManager.DestroyScene();
    EXPECT_TRUE(loose->GetCellRange(PathGrid::kRenderList).IsNone()) << "nor does the scene's end leave it a cell";
    loose->Destroy();
    EXPECT_EQ(grid.GetCell(4, 4).lists[PathGrid::kQueryList].Count(), 0);
}

// Records what a GUID lookup answers while its entity dies.
struct LookupAtDeath : EntityGameplayDelegate
{
    LookupAtDeath(const SimpleGUID& wanted, const Entity*& found) : wanted(wanted), found(found) {}
    ~LookupAtDeath() override { found = gEntityManager.FindEntityByGUID(wanted); }
    SimpleGUID wanted;
    const Entity*& found;
};

TEST_F(EntityManagerTest, ANewSceneForgetsEveryNameAndGUIDOfSmallAndLargeScenes)
{
    // A few entities leave the indexes one by one, many by a wipe, and an authority root's tree
    // outlives the call until its deferred destruction: all forget them, equal names included.
    for (const auto& [count, role] :
         {std::pair{3, ENTITYROLE_LOCAL}, {100, ENTITYROLE_LOCAL}, {3, ENTITYROLE_AUTHORITY}})
    {
        SCOPED_TRACE(count + 1000 * role);
        Root()->SetReplicationRole(role);
        std::vector<SimpleGUID> guids;
        Entity* first = nullptr;
        for (int i = 0; i < count; ++i)
        {
            Entity* entity = Create(nullptr, Translation(float(i % 50), 0, 5));
            entity->SetName(i % 2 == 0 ? "twin" : ("single" + std::to_string(i)).c_str());
            guids.push_back(entity->GetGUID());
            first = first != nullptr ? first : entity;
        }
        // Nothing dying, nor dead, answers a lookup made during the teardown.
        const Entity* foundAtDeath = nullptr;
        first->SetGameplayDelegate(new LookupAtDeath(guids[1], foundAtDeath), true);
        gEntityManager.NewScene();
        EXPECT_EQ(foundAtDeath, nullptr);
        EXPECT_EQ(gEntityManager.GetNameIndex().Count(), 1) << "the new root alone";
        EXPECT_EQ(gEntityManager.GetGUIDIndex().Count(), 0);
        EXPECT_EQ(gEntityManager.FindEntityByName("twin"), nullptr);
        EXPECT_EQ(gEntityManager.FindEntityByName("single1"), nullptr);
        for (const SimpleGUID& guid : guids)
            ASSERT_EQ(gEntityManager.FindEntityByGUID(guid), nullptr);
        Entity* again = Create();
        again->SetName("twin");
        again->SetGUID(guids[0]);
        EXPECT_EQ(gEntityManager.FindEntityByName("twin"), again);
        EXPECT_EQ(gEntityManager.FindEntityByGUID(guids[0]), again);
        gEntityManager.NewScene();
        gGame.GetEntityLists().FireDueEntityCalls(true, 0);
    }
}

TEST_F(EntityManagerTest, DestroySceneForgetsTheSceneAndMakesTheLayersAgainOnDemand)
{
    Create();
    gEntityManager.SetSceneName("Level01");
    gEntityManager.GetEntitySets().Add(new EntitySet);
    gEntityManager.SetNavigationGrid(new NavigationGrid);
    gEntityManager.DestroyScene();
    EXPECT_EQ(Root(), nullptr);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 0u);
    EXPECT_EQ(gEntityManager.GetCreationCounter(), 0u);
    EXPECT_STREQ(gEntityManager.GetSceneName(), "");
    EXPECT_TRUE(gEntityManager.GetEntitySets().IsEmpty());
    EXPECT_EQ(gEntityManager.GetNavigationGrid(), nullptr);
    EXPECT_FALSE(gEntityManager.HasLayerSystem());
    EntityLayerMask mask;
    gEntityManager.GetLayerSystem().GetVisibleLayerMask(mask);
    EXPECT_TRUE(mask.Test(1));
    EXPECT_TRUE(gEntityManager.HasLayerSystem());
}

TEST_F(EntityManagerTest, ScriptRoadsFindTemplatesByNameOrReportThem)
{
    SimpleGUID guid;
    guid.Generate();
    EntityTemplate* bound = new EntityTemplate;
    ASSERT_NE(RegisterStubAtPath("units/Soldier", guid, bound), nullptr);

    Entity* e = gEntityManager.CreateEntity("UNITS\\soldier", nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetTemplate(), bound);
    EXPECT_STREQ(e->GetName(), "");
    Entity* inGame = gEntityManager.CreateEntityInGame("units/Soldier", nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(inGame, nullptr);
    EXPECT_STREQ(inGame->GetName(), "Soldier*2");
    Entity* byGUID = gEntityManager.CreateEntityInGameByGUID(guid, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_EQ(byGUID->GetTemplate(), bound);
    EXPECT_STREQ(byGUID->GetName(), "Soldier*3") << "set up in game like the name road";

    m_log.Clear();
    EXPECT_EQ(gEntityManager.CreateEntity("units/Missing", nullptr, Matrix::ONE, 0, nullptr), nullptr);
    EXPECT_TRUE(m_log.Contains("Unable to find template: units/Missing", CONSOLE_ERROR));
    EXPECT_EQ(gEntityManager.CreateEntityInGame(nullptr, nullptr, Matrix::ONE, 0, nullptr), nullptr);
    SimpleGUID unknown;
    unknown.Generate();
    EXPECT_EQ(gEntityManager.CreateEntityInGameByGUID(unknown, nullptr, Matrix::ONE, 0, nullptr), nullptr);
    EXPECT_TRUE(m_log.Contains("Unable to find template by guid: "));
    gEntityManager.NewScene();
    gTemplateManager.Clear();
}

TEST_F(EntityManagerTest, DestroyEntityDefersAuthorityEntities)
{
    gMultiplayerEngine = &m_multiplayer;
    Entity* plain = Create();
    SafePointer<Entity> plainWatch(plain);
    gEntityManager.DestroyEntity(plain);
    EXPECT_FALSE(plainWatch);
    gEntityManager.DestroyEntity(nullptr); // ignored, never dereferenced
    gEntityManager.DeleteEntity(nullptr);

    Entity* authority = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    const uint16_t mid = authority->GetMID();
    SafePointer<Entity> watch(authority);
    gEntityManager.DestroyEntity(authority);
    ASSERT_TRUE(watch);
    EXPECT_EQ(authority->GetMID(), NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_EQ(gEntityManager.GetDynamicMIDsInUse(), 0u) << "mid " << mid << " given back";
    gGame.GetEntityLists().FireDueEntityCalls(true, 0);
    EXPECT_FALSE(watch);
}
} // namespace

namespace
{
class CountingClickHandler : public EntityClickHandler
{
public:
    void OnClick(Entity* entity) override { clicked.push_back(entity); }
    std::vector<Entity*> clicked;
};

TEST_F(EntityManagerTest, ClicksReachOnlyVisibleClickableEntitiesOnTheSegment)
{
    Entity* hit = Create(nullptr, Translation(50, 0, 50));
    Entity* notClickable = Create(nullptr, Translation(50, 0, 52));
    Entity* missed = Create(nullptr, Translation(80, 0, 80));
    CountingClickHandler handler;
    for (Entity* e : {hit, notClickable, missed})
        e->SetClickHandler(&handler, false);
    hit->RaiseFlag(ENTITYFLAG_TAKES_MOUSE_CLICKS, false);
    missed->RaiseFlag(ENTITYFLAG_TAKES_MOUSE_CLICKS, false);
    VisibleEntityGatherOptions options;
    options.frustumBox = BoundingBox4(Vector(0, -50, 0, 1), Vector(100, 50, 100, 1));
    gEntityManager.ClearVisibleLists();
    gEntityManager.GatherVisibleEntities(options);
    gEntityManager.DispatchClicksAlongSegment(Vector(50, 100, 52, 1), Vector(50, -100, 49, 1));
    ASSERT_EQ(handler.clicked.size(), 1u);
    EXPECT_EQ(handler.clicked[0], hit);
    gEntityManager.ClearVisibleLists();
}

// The global manager is destroyed among the other globals, after the engine's close destroyed the
// scene: its destructor must not reach the shared preset name, which may already be gone, yet
// still frees the sets it owns (the leak checker sees one left behind).
TEST(EntityManagerDestructionTest, DestructionLeavesTheGlobalShaderPresetAlone)
{
    const NameString before = MeshEntity::GetGlobalShaderPreset();
    {
        EntityManager manager;
        manager.Init(BoundingBox4(Vector(0.0f, -50.0f, 0.0f, 1.0f), Vector(100.0f, 50.0f, 100.0f, 1.0f)), 10.0f);
        manager.DestroyScene();
        manager.CreateEntitySet()->SetName("Kept");
        MeshEntity::SetGlobalShaderPreset(NameString("Night"));
    }
    EXPECT_STREQ(MeshEntity::GetGlobalShaderPreset().CStr(), "Night");
    MeshEntity::SetGlobalShaderPreset(before);
}
} // namespace
