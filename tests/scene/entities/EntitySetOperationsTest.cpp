// Entity set operations: lookup ignoring case, joining with and without creation, leaving, the
// membership list, and purging dead members and empty sets.
#include "scene/entities/EntitySet.h"
#include "support/SceneTestSupport.h"

namespace
{
class EntitySetOperationsTest : public SceneTest
{
};
} // namespace

TEST_F(EntitySetOperationsTest, JoiningFindsOrMakesTheSetAndTheMemberListsFollow)
{
    Entity* entity = Create();
    entity->AddToSet("Patrol", false);
    EXPECT_EQ(gEntityManager.FindEntitySet("Patrol"), nullptr);
    EXPECT_EQ(entity->GetSetsCount(), 0u);
    entity->AddToSet("Patrol", true);
    EntitySet* patrol = gEntityManager.FindEntitySet("PATROL");
    ASSERT_NE(patrol, nullptr);
    EXPECT_STREQ(patrol->GetName(), "Patrol");
    entity->AddToSet("patrol", true);
    EXPECT_EQ(gEntityManager.GetEntitySets().Count(), 1);
    EXPECT_EQ(patrol->GetEntities().Count(), 1);
    entity->AddToSet("Alpha", true);
    ASSERT_EQ(entity->GetSetsCount(), 2u);
    EXPECT_STREQ(entity->GetSetName(0), "Alpha");
    EXPECT_STREQ(entity->GetSetName(1), "Patrol");
    EXPECT_EQ(entity->GetSetName(2), nullptr);

    entity->RemoveFromSet("PATROL");
    EXPECT_EQ(patrol->GetEntities().Count(), 0);
    ASSERT_EQ(entity->GetSetsCount(), 1u);
    EXPECT_STREQ(entity->GetSetName(0), "Alpha");
    entity->RemoveFromSet("Nowhere");
    EXPECT_EQ(entity->GetSetsCount(), 1u);
}

TEST_F(EntitySetOperationsTest, TheFirstSetOfAnEqualNameWins)
{
    EntitySet* first = gEntityManager.CreateEntitySet();
    first->SetName("Twins");
    EntitySet* second = gEntityManager.CreateEntitySet();
    second->SetName("TWINS");
    EXPECT_EQ(gEntityManager.FindEntitySet("twins"), first);
    EXPECT_EQ(gEntityManager.FindEntitySet(nullptr), nullptr);
    Entity* entity = Create();
    entity->AddToSet("twins", true);
    EXPECT_EQ(first->GetEntities().Count(), 1);
    EXPECT_EQ(second->GetEntities().Count(), 0);
}

TEST_F(EntitySetOperationsTest, PurgingDropsTheDeadAndMovesTheLastSetIntoEachEmptiedPlace)
{
    Entity* keeper = Create();
    Entity* doomed = Create();
    const char* names[] = {"S0", "S1", "S2", "S3"};
    for (const char* name : names)
        gEntityManager.CreateEntitySet()->SetName(name);
    gEntityManager.FindEntitySet("S0")->AddEntity(doomed);
    gEntityManager.FindEntitySet("S1")->AddEntity(keeper);
    gEntityManager.FindEntitySet("S1")->AddEntity(doomed);
    gEntityManager.FindEntitySet("S3")->AddEntity(keeper);
    doomed->DeleteMe();
    gEntityManager.PurgeEntitySets();
    // S0 and S2 emptied: S3 took S0's place, then the list ended before S2's place.
    Dynarray<EntitySet*>& sets = gEntityManager.GetEntitySets();
    ASSERT_EQ(sets.Count(), 2);
    EXPECT_STREQ(sets[0]->GetName(), "S3");
    EXPECT_STREQ(sets[1]->GetName(), "S1");
    ASSERT_EQ(sets[1]->GetEntities().Count(), 1);
    EXPECT_EQ(sets[1]->GetEntities()[0].Get(), keeper);
    EXPECT_EQ(keeper->GetSetsCount(), 2u);

    // Creating through AddToSet purges first.
    gEntityManager.CreateEntitySet()->SetName("Empty");
    keeper->AddToSet("Fresh", true);
    EXPECT_EQ(gEntityManager.FindEntitySet("Empty"), nullptr);
    EXPECT_NE(gEntityManager.FindEntitySet("Fresh"), nullptr);
}
