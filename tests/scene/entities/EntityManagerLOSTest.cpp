// The line-of-sight query over the grid: the nearest hit against a brute-force pass in randomised
// scenes, entities beyond it never asked, the two exclusions, a start outside the scene, and a
// query asked from inside another one.
#include "support/BoxPickEntities.h"

#include <random>

namespace
{
using EntityManagerLOSTest = BoxPickSceneTest;
} // namespace

TEST_F(EntityManagerLOSTest, TheNearestHitMatchesABruteForcePassAndFartherEntitiesAreNotAsked)
{
    std::mt19937 random(41);
    std::uniform_real_distribution<float> place(20.0f, 980.0f), height(-20.0f, 60.0f), size(0.5f, 15.0f);
    std::vector<BoxPickEntity*> blockers;
    for (int i = 0; i < 2000; ++i)
    {
        blockers.push_back(Make(Vector(place(random), height(random), place(random), 1.0f), size(random)));
        blockers.back()->ghost = random() % 5 == 0;
    }
    int hits = 0;
    for (int query = 0; query < 150; ++query)
    {
        const Vector start(place(random), height(random), place(random), 1.0f);
        const Vector end(place(random), height(random), place(random), 1.0f);
        const Entity* a = blockers[size_t(random() % blockers.size())];
        const Entity* b = blockers[size_t(random() % blockers.size())];
        float nearest = 2.0f;
        BoxPickEntity* expected = nullptr;
        for (BoxPickEntity* blocker : blockers)
        {
            blocker->asks = 0;
            const float entry = Entry(blocker, start, end);
            if (entry >= 0.0f && entry < nearest && !blocker->ghost && blocker != a && blocker != b)
            {
                nearest = entry;
                expected = blocker;
            }
        }
        LOSResult result;
        const bool clear = gEntityManager.LOS(start, end, 0, result, 0, a, b);
        ASSERT_EQ(clear, expected == nullptr) << "query " << query;
        EXPECT_EQ(result.entity, expected) << "query " << query;
        for (BoxPickEntity* blocker : blockers)
            if (blocker->asks != 0)
            {
                EXPECT_EQ(blocker->asks, 1);
                EXPECT_NE(blocker, a);
                EXPECT_NE(blocker, b);
                const float entry = Entry(blocker, start, end);
                EXPECT_GE(entry, 0.0f) << "only entities the segment enters are asked";
                EXPECT_LE(entry, nearest + 1e-4f) << "nothing beyond the nearest hit is asked";
            }
        hits += expected != nullptr;
    }
    EXPECT_GT(hits, 50);
}

TEST_F(EntityManagerLOSTest, ExcludedEntitiesAndAStartOutsideTheSceneLeaveTheLineClear)
{
    BoxPickEntity* wall = Make(Vector(500, 0, 500, 1), 2.0f);
    const Vector start(450, 0, 500, 1), end(550, 0, 500, 1);
    LOSResult result;
    ASSERT_FALSE(gEntityManager.LOS(start, end, 0, result, 0, nullptr, nullptr));
    EXPECT_EQ(result.entity, wall);
    EXPECT_EQ(result.hit, 1u);
    EXPECT_NEAR(result.hitPoint.x, 498.0f, 1e-2f);
    EXPECT_TRUE(gEntityManager.LOS(start, end, 0, result, 0, wall, nullptr));
    EXPECT_EQ(result.entity, nullptr);
    EXPECT_EQ(result.hit, 0u);
    EXPECT_TRUE(gEntityManager.LOS(start, end, 0, result, 0, nullptr, wall));

    m_log.Clear();
    EXPECT_TRUE(gEntityManager.LOS(Vector(-10, 0, 500, 1), end, 0, result, 0, nullptr, nullptr));
    EXPECT_TRUE(m_log.Contains("LOS check must begin in a point within the scene bounds"));
    EXPECT_EQ(wall->asks, 1);
}

TEST_F(EntityManagerLOSTest, AQueryAskedDuringAnotherIsClearAndTheOuterOneStillHits)
{
    BoxPickEntity* asker = Make(Vector(300, 0, 300, 1), 1.0f);
    asker->ghost = true;
    asker->nested = true;
    BoxPickEntity* wall = Make(Vector(310, 0, 300, 1), 1.0f);
    LOSResult result;
    ASSERT_FALSE(gEntityManager.LOS(Vector(290, 0, 300, 1), Vector(330, 0, 300, 1), 0, result, 0, nullptr, nullptr));
    EXPECT_EQ(result.entity, wall);
    EXPECT_TRUE(asker->nestedClear);
    EXPECT_TRUE(m_log.Contains("LOS check asked during another LOS check"));
    // The buffer is free again afterwards.
    asker->nested = false;
    EXPECT_FALSE(gEntityManager.LOS(Vector(330, 0, 300, 1), Vector(290, 0, 300, 1), 0, result, 0, nullptr, nullptr));
    EXPECT_EQ(result.entity, wall);
}
