// The vicinity monitor: entered, left and current lists over moving entities against a brute-force
// record of who was inside, deaths between calculations, indices reused by new entities, and the
// mask and reset rules.
#include "scene/entities/EntitiesVicinityMonitor.h"

#include "support/SceneTestSupport.h"

#include <random>
#include <set>

namespace
{
class EntitiesVicinityMonitorTest : public SceneTest
{
protected:
    static std::set<Entity*> AsSet(const Dynarray<Entity*>& list)
    {
        std::set<Entity*> out(list.begin(), list.end());
        EXPECT_EQ(out.size(), size_t(list.Count()));
        return out;
    }
    static std::set<Entity*> Current(const EntitiesVicinityMonitor& monitor)
    {
        std::set<Entity*> out;
        for (int32_t i = 0; i < monitor.GetCurrentEntitiesCount(); ++i)
            out.insert(monitor.GetCurrentEntity(i));
        return out;
    }
    void Calculate(EntitiesVicinityMonitor& monitor)
    {
        monitor.CalculateEntitiesVicinityChange();
        m_log.Clear();
    }
};

struct Circle
{
    Vector at;
    float radius;
};
} // namespace

TEST_F(EntitiesVicinityMonitorTest, EnteredLeftAndCurrentFollowMovingEntities)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> place(400.0f, 600.0f), height(-40.0f, 400.0f), reach(5.0f, 40.0f);
    std::vector<Entity*> entities;
    for (int i = 0; i < 300; ++i)
    {
        entities.push_back(Create(nullptr, Translation(place(random), height(random), place(random))));
        entities.back()->SetTypeBits(1u << (random() % 3));
    }
    const std::vector<Circle> circles = {{Vector(450, 0, 450, 1), reach(random)},
                                         {Vector(520, 0, 560, 1), reach(random)},
                                         {Vector(530, 0, 550, 1), reach(random)}};
    const uint32_t mask = 5;
    EntitiesVicinityMonitor monitor;
    monitor.Init(mask);
    for (const Circle& circle : circles)
        monitor.AddTestPosition(circle.at, circle.radius);
    std::set<Entity*> wasInside;
    size_t entered = 0, left = 0;
    for (int round = 0; round < 12; ++round)
    {
        std::set<Entity*> inside;
        for (Entity* entity : entities)
            for (const Circle& circle : circles)
                if ((entity->GetTypeBits() & mask) != 0 &&
                    entity->GetGlobalPosition().Distance2XZ(circle.at) <= circle.radius * circle.radius)
                    inside.insert(entity);
        Calculate(monitor);
        std::set<Entity*> expectEntered, expectLeft;
        for (Entity* entity : inside)
            if (wasInside.count(entity) == 0)
                expectEntered.insert(entity);
        for (Entity* entity : wasInside)
            if (inside.count(entity) == 0)
                expectLeft.insert(entity);
        EXPECT_EQ(Current(monitor), inside) << "round " << round;
        EXPECT_EQ(AsSet(monitor.GetEnteredEntities()), expectEntered) << "round " << round;
        EXPECT_EQ(AsSet(monitor.GetLeftEntities()), expectLeft) << "round " << round;
        entered += expectEntered.size();
        left += expectLeft.size();
        wasInside = inside;
        // A third of the entities wander for the next round.
        for (Entity* entity : entities)
            if (random() % 3 == 0)
                entity->SetLocalPosition(Vector(place(random), height(random), place(random), 1.0f));
    }
    EXPECT_GT(entered, 20u);
    EXPECT_GT(left, 10u);
}

TEST_F(EntitiesVicinityMonitorTest, TheDeadAreNotReportedAsLeftAndTheirIndexHolderIsNew)
{
    Entity* staying = Create(nullptr, Translation(100, 0, 100));
    Entity* dying = Create(nullptr, Translation(101, 0, 100));
    staying->SetTypeBits(1);
    dying->SetTypeBits(1);
    const uint32_t deadIndex = dying->GetIndex();
    EntitiesVicinityMonitor monitor;
    monitor.Init(1);
    monitor.AddTestPosition(Vector(100, 0, 100, 1), 3.0f);
    Calculate(monitor);
    EXPECT_EQ(AsSet(monitor.GetEnteredEntities()), (std::set<Entity*>{staying, dying}));
    // Still inside: neither entered nor left.
    Calculate(monitor);
    EXPECT_EQ(monitor.GetEnteredEntities().Count(), 0);
    EXPECT_EQ(monitor.GetLeftEntities().Count(), 0);

    dying->DeleteMe();
    Entity* newcomer = Create(nullptr, Translation(99, 0, 100));
    newcomer->SetTypeBits(1);
    ASSERT_EQ(newcomer->GetIndex(), deadIndex) << "the freed index should be handed out again";
    Calculate(monitor);
    EXPECT_EQ(monitor.GetLeftEntities().Count(), 0);
    EXPECT_EQ(AsSet(monitor.GetEnteredEntities()), std::set<Entity*>{newcomer});
    EXPECT_EQ(Current(monitor), (std::set<Entity*>{staying, newcomer}));

    staying->SetLocalPosition(Vector(200, 0, 100, 1));
    Calculate(monitor);
    EXPECT_EQ(AsSet(monitor.GetLeftEntities()), std::set<Entity*>{staying});
    EXPECT_EQ(monitor.GetEnteredEntities().Count(), 0);
    EXPECT_EQ(monitor.GetLeftEntity(0), staying);
    EXPECT_EQ(monitor.GetLeftEntity(1), nullptr);
    EXPECT_EQ(monitor.GetLeftEntitiesCount(), 1);
}

TEST_F(EntitiesVicinityMonitorTest, ResetKeepsTheMaskAndInitForgetsEverything)
{
    Entity* entity = Create(nullptr, Translation(300, 0, 300));
    entity->SetTypeBits(2);
    EntitiesVicinityMonitor monitor;
    monitor.Init(1);
    monitor.AddTestPosition(Vector(300, 0, 300, 1), 5.0f);
    Calculate(monitor);
    EXPECT_EQ(monitor.GetCurrentEntitiesCount(), 0) << "type bits must meet the mask";
    monitor.Init(2);
    EXPECT_EQ(monitor.GetTestPositionsCount(), 0);
    monitor.AddTestPosition(Vector(300, 0, 300, 1), 5.0f);
    Calculate(monitor);
    EXPECT_EQ(monitor.GetEnteredEntity(0), entity);
    monitor.Reset();
    EXPECT_EQ(monitor.GetMask(), 2u);
    EXPECT_EQ(monitor.GetCurrentEntitiesCount(), 0);
    EXPECT_EQ(monitor.GetEnteredEntitiesCount(), 0);
    EXPECT_EQ(monitor.GetTestPositionsCount(), 0);
    // After a reset the entity counts as new again.
    monitor.AddTestPosition(Vector(303, 0, 304, 1), 5.0f);
    Calculate(monitor);
    EXPECT_EQ(monitor.GetEnteredEntity(0), entity);
}
