// Near-entity gathering: every form against a brute-force pass over randomised scenes, heights that
// do not count for the ground forms, entities spanning several cells met once, and results that
// outlive deleted entities.
#include "scene/entities/NearEntitiesGatherer.h"

#include "support/SceneTestSupport.h"

#include <algorithm>
#include <functional>
#include <random>
#include <set>

namespace
{
class NearEntitiesGathererTest : public SceneTest
{
protected:
    // Entities scattered around (300, 300) with random type bits, boxes, turns and scales.
    void Scatter(uint32_t seed, int count)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> place(250.0f, 350.0f), height(-20.0f, 40.0f), size(0.2f, 12.0f);
        std::uniform_real_distribution<float> angle(0.0f, 360.0f), scale(0.5f, 2.0f);
        for (int i = 0; i < count; ++i)
        {
            const float h = size(random);
            EntityTemplate* entityTemplate = MakeTemplate(
                BoundingBox4(Vector(-h, -1.0f, -h * 0.5f, 1.0f), Vector(h * 0.5f, 2.0f, h, 1.0f)));
            Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, Matrix::ONE, 0, nullptr);
            entity->SetTypeBits(1u << (random() % 4));
            entity->SetLocalScale(Vector(scale(random), scale(random), scale(random), 1.0f));
            entity->SetLocalRotation(Vector(0.0f, angle(random), 0.0f, 0.0f));
            entity->SetLocalPosition(Vector(place(random), height(random), place(random), 1.0f));
            m_scattered.push_back(entity);
        }
    }
    // The entities a brute-force pass accepts, and those the gatherer holds (each once).
    std::set<Entity*> Expected(uint32_t mask, const std::function<bool(Entity*)>& test) const
    {
        std::set<Entity*> out;
        for (Entity* entity : m_scattered)
            if ((entity->GetTypeBits() & mask) != 0 && test(entity))
                out.insert(entity);
        return out;
    }
    static std::set<Entity*> Held(const NearEntitiesGatherer& gatherer)
    {
        std::set<Entity*> out;
        for (int32_t i = 0; i < gatherer.GetEntitiesCount(); ++i)
            out.insert(gatherer.GetEntity(i));
        EXPECT_EQ(out.size(), size_t(gatherer.GetEntitiesCount())) << "an entity appears twice";
        return out;
    }
    static float BoxDistance2(Entity* entity, const Vector& point, bool horizontal)
    {
        OBBox4 box;
        box.Transform3D(entity->GetLocalBoundingBox(), entity->GetGlobalLocationMatrix());
        Vector closest;
        box.GetClosestPoint(point, closest);
        return horizontal ? closest.Distance2XZ(point) : closest.Distance2(point);
    }

    std::vector<Entity*> m_scattered;
};
} // namespace

TEST_F(NearEntitiesGathererTest, PointFormsMatchABruteForcePass)
{
    Scatter(7, 400);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> place(240.0f, 360.0f), reach(0.0f, 35.0f);
    NearEntitiesGatherer gatherer;
    size_t found = 0;
    for (int query = 0; query < 60; ++query)
    {
        const Vector point(place(random), place(random) - 290.0f, place(random), 1.0f);
        const float r = reach(random);
        const uint32_t mask = 1u + uint32_t(random() % 15);
        gatherer.Init(mask, point, r);
        const auto near = Expected(mask, [&](Entity* e) { return e->GetGlobalPosition().Distance2XZ(point) <= r * r; });
        EXPECT_EQ(Held(gatherer), near) << "query " << query;
        found += near.size();
        gatherer.InitWithEntitiesWhoesOBBIsWithinRange(mask, point, r);
        EXPECT_EQ(Held(gatherer), Expected(mask, [&](Entity* e) { return BoxDistance2(e, point, true) <= r * r; }));
        gatherer.InitWithEntitiesWhoesOBBIsWithinRange3D(mask, point, r);
        EXPECT_EQ(Held(gatherer), Expected(mask, [&](Entity* e) { return BoxDistance2(e, point, false) <= r * r; }));
        gatherer.InitWithAllEntitiesWhoesOBBIsWithinRange3D(point, r);
        EXPECT_EQ(Held(gatherer), Expected(~0u, [&](Entity* e) { return BoxDistance2(e, point, false) <= r * r; }));
    }
    EXPECT_GT(found, 100u) << "the scene should put entities near most queries";
}

TEST_F(NearEntitiesGathererTest, BoxFormsMatchABruteForcePass)
{
    Scatter(21, 400);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> place(240.0f, 360.0f), height(-25.0f, 45.0f), angle(0.0f, 360.0f);
    NearEntitiesGatherer gatherer;
    size_t found = 0;
    for (int query = 0; query < 60; ++query)
    {
        const Vector a(place(random), height(random), place(random), 1.0f);
        const Vector b(place(random), height(random), place(random), 1.0f);
        const uint32_t mask = 1u + uint32_t(random() % 15);
        BoundingBox4 box(a, a);
        box.Expand(b);
        gatherer.Init(mask, box);
        const auto inside = Expected(mask, [&](Entity* e) { return box.Inside3D(e->GetGlobalPosition()); });
        EXPECT_EQ(Held(gatherer), inside);
        found += inside.size();
        // Corners in either order span the same box.
        gatherer.Init(mask, b, a);
        EXPECT_EQ(Held(gatherer), inside);

        Matrix turn;
        turn.LoadComplexTransformation(a, Vector(angle(random), angle(random), 0.0f, 0.0f), Vector(1, 1, 1, 1));
        OBBox4 oriented;
        oriented.Transform3D(BoundingBox4(Vector(-30, -10, -15, 1), Vector(30, 10, 15, 1)), turn);
        gatherer.InitInOrientedBox(mask, oriented);
        const auto inOriented = Expected(mask, [&](Entity* e) { return oriented.Inside3D(e->GetGlobalPosition()); });
        EXPECT_EQ(Held(gatherer), inOriented);
        found += inOriented.size();
    }
    EXPECT_GT(found, 100u);
}

TEST_F(NearEntitiesGathererTest, OnlyTheGroundCountsAndWideEntitiesAppearOnce)
{
    Entity* high = Create(nullptr, Translation(505, 400, 505));
    EntityTemplate* wide = MakeTemplate(CenteredBox(25.0f));
    Entity* spanning = gEntityManager.CreateEntity(wide, nullptr, Translation(520, 0, 500), 0, nullptr);
    high->SetTypeBits(1);
    spanning->SetTypeBits(3);
    NearEntitiesGatherer gatherer;
    gatherer.Init(1, Vector(500, 0, 500, 1), 30.0f);
    ASSERT_EQ(gatherer.GetEntitiesCount(), 2);
    EXPECT_EQ(Held(gatherer), (std::set<Entity*>{high, spanning}));
    // The mask must meet the type bits; a nobody mask finds nothing.
    gatherer.Init(2, Vector(500, 0, 500, 1), 30.0f);
    EXPECT_EQ(Held(gatherer), std::set<Entity*>{spanning});
    gatherer.Init(0, Vector(500, 0, 500, 1), 30.0f);
    EXPECT_EQ(gatherer.GetEntitiesCount(), 0);
    // Strictly beyond the radius is out, exactly on it is in.
    gatherer.Init(3, Vector(500, 0, 500, 1), 5.0f);
    EXPECT_EQ(gatherer.GetEntitiesCount(), 0);
    gatherer.Init(3, Vector(502, 0, 501, 1), 5.0f);
    EXPECT_EQ(Held(gatherer), std::set<Entity*>{high});
}

TEST_F(NearEntitiesGathererTest, EveryFormStartsFromAnEmptyResultAndDeletedEntitiesReadAsNull)
{
    Entity* first = Create(nullptr, Translation(100, 0, 100));
    Entity* second = Create(nullptr, Translation(102, 0, 100));
    first->SetTypeBits(1);
    second->SetTypeBits(1);
    NearEntitiesGatherer gatherer;
    gatherer.Init(1, Vector(100, 0, 100, 1), 5.0f);
    ASSERT_EQ(gatherer.GetEntitiesCount(), 2);
    second->DeleteMe();
    gGame.GetEntityLists().ClearEntityCallQueues();
    EXPECT_EQ(gatherer.GetEntitiesCount(), 2);
    EXPECT_TRUE(gatherer.GetEntity(0) == nullptr || gatherer.GetEntity(1) == nullptr);
    EXPECT_EQ(gatherer.GetEntity(2), nullptr);
    EXPECT_EQ(gatherer.GetEntity(-1), nullptr);
    gatherer.Init(1, Vector(900, 0, 900, 1), 5.0f);
    EXPECT_EQ(gatherer.GetEntitiesCount(), 0);
    gatherer.Init(1, Vector(100, 0, 100, 1), 5.0f);
    EXPECT_EQ(Held(gatherer), std::set<Entity*>{first});
}
