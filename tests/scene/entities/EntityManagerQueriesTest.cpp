// The entity manager's nearest-flag query against a brute-force search in randomised scenes, with
// its exclusions: the point itself, the excluded flag, the range limit and the direction cone.
#include "support/SceneTestSupport.h"

#include <cmath>
#include <random>

namespace
{
class EntityManagerQueriesTest : public SceneTest
{
protected:
    Entity* Flag(const Vector& at)
    {
        if (m_flagTemplate == nullptr)
            m_flagTemplate = MakeTemplate(CenteredBox(0.5f), ENTITY_FLAG);
        return gEntityManager.CreateEntity(m_flagTemplate, nullptr, Translation(at.x, at.y, at.z), 0, nullptr);
    }
    EntityTemplate* m_flagTemplate = nullptr;
};
} // namespace

TEST_F(EntityManagerQueriesTest, NearestFlagMatchesABruteForceSearch)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<float> place(100.0f, 300.0f), height(-30.0f, 30.0f), unit(-1.0f, 1.0f);
    std::vector<Entity*> flags;
    for (int i = 0; i < 300; ++i)
        flags.push_back(Flag(Vector(place(random), height(random), place(random), 1.0f)));
    // Other kinds nearby are never flags.
    for (int i = 0; i < 100; ++i)
        Create(nullptr, Translation(place(random), height(random), place(random)));
    int found = 0;
    for (int query = 0; query < 200; ++query)
    {
        const Vector point = query % 10 == 0 ? flags[size_t(query)]->GetGlobalPosition()
                                             : Vector(place(random), height(random), place(random), 1.0f);
        const float range = 5.0f + 30.0f * (unit(random) + 1.0f);
        Vector direction(unit(random), unit(random) * 0.2f, unit(random), 0.0f);
        direction.Normalize();
        const float minimumDot = query % 3 == 0 ? -1.0f : unit(random);
        const Entity* excluded = flags[size_t(random() % flags.size())];
        Entity* expected = nullptr;
        float best = range * range;
        for (Entity* flag : flags)
        {
            Vector d;
            d.Sub(flag->GetGlobalPosition(), point);
            const float d2 = d.x * d.x + d.y * d.y + d.z * d.z;
            if (flag == excluded || d2 <= 0.0001f)
                continue;
            const float cosine = (d.x * direction.x + d.y * direction.y + d.z * direction.z) / std::sqrt(d2);
            if (cosine >= minimumDot && d2 < best)
            {
                best = d2;
                expected = flag;
            }
        }
        EXPECT_EQ(gEntityManager.GetNearestFlag(point, range, excluded, direction, minimumDot), expected)
            << "query " << query;
        found += expected != nullptr;
    }
    EXPECT_GT(found, 60);
}

TEST_F(EntityManagerQueriesTest, NearestFlagSkipsThePointTheExcludedAndTheRangeEdge)
{
    const Vector point(500, 0, 500, 1);
    const Vector anyWay(1, 0, 0, 0);
    Entity* atPoint = Flag(Vector(500.005f, 0, 500, 1)); // within the tolerance of the point
    Entity* onEdge = Flag(Vector(510, 0, 500, 1));
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 10.0f, nullptr, anyWay, -1.0f), nullptr);
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 10.01f, nullptr, anyWay, -1.0f), onEdge);
    Entity* behind = Flag(Vector(495, 0, 500, 1));
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 20.0f, nullptr, anyWay, -1.0f), behind);
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 20.0f, nullptr, anyWay, 0.5f), onEdge);
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 20.0f, behind, anyWay, -1.0f), onEdge);
    // A flag straight above counts in 3D, and the height makes it nearer than the edge flag.
    Entity* above = Flag(Vector(500, 3, 500, 1));
    EXPECT_EQ(gEntityManager.GetNearestFlag(point, 20.0f, behind, anyWay, -1.0f), above);
    EXPECT_EQ(gEntityManager.GetNearestFlag(atPoint->GetGlobalPosition(), 20.0f, above, Vector(0, 1, 0, 0), 0.1f),
              nullptr);
}
