#include "scene/entities/PathGrid.h"

#include "support/SceneTestSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace
{
using PathGridLineOfSightTest = SceneTest;

// Every entity the segment enters, with its entry fraction, found by testing all of them.
std::map<Entity*, float> BruteForceHits(const std::vector<Entity*>& entities, const Vector& start, const Vector& end)
{
    std::map<Entity*, float> hits;
    Vector delta;
    delta.Sub(end, start);
    const float length2 = delta.Dot3(delta);
    for (Entity* e : entities)
    {
        Vector p0 = start;
        p0.Transform3D(e->GetInversedGlobalLocationMatrix());
        Vector p1 = end;
        p1.Transform3D(e->GetInversedGlobalLocationMatrix());
        Vector hit;
        if (!e->GetLocalBoundingBox().CollidesWithSegment3D(p0, p1, hit))
            continue;
        hit.Transform3D(e->GetGlobalLocationMatrix());
        Vector offset;
        offset.Sub(hit, start);
        hits[e] = length2 > 0.0f ? offset.Dot3(delta) / length2 : 0.0f;
    }
    return hits;
}

std::map<Entity*, float> Walk(const Vector& start, const Vector& end, int32_t capacity = 32768)
{
    std::vector<PathGridSegmentHit> buffer(size_t(std::max(capacity, 1)));
    const int32_t count = gEntityManager.GetPathGrid().CheckLineOfSight(start, end, buffer.data(), capacity);
    std::map<Entity*, float> hits;
    for (int32_t i = 0; i < count; ++i)
    {
        EXPECT_TRUE(hits.emplace(buffer[size_t(i)].entity, buffer[size_t(i)].fraction).second)
            << "entity recorded twice";
    }
    return hits;
}

void ExpectSameHits(const std::map<Entity*, float>& actual, const std::map<Entity*, float>& expected, int segment)
{
    ASSERT_EQ(actual.size(), expected.size()) << "segment " << segment;
    for (const auto& [entity, fraction] : expected)
    {
        const auto found = actual.find(entity);
        ASSERT_TRUE(found != actual.end()) << "segment " << segment << " misses an entity";
        EXPECT_NEAR(found->second, fraction, 1e-4f) << "segment " << segment;
    }
}

TEST_F(PathGridLineOfSightTest, RandomSegmentsFindWhatTestingEveryEntityFinds)
{
    std::mt19937 random(77);
    std::uniform_real_distribution<float> coordinate(1.0f, 999.0f);
    std::uniform_real_distribution<float> size(0.3f, 4.0f);
    std::uniform_real_distribution<float> large(4.0f, 30.0f);
    std::uniform_real_distribution<float> angle(0.0f, 360.0f);
    std::vector<Entity*> entities;
    // Mostly entities smaller than a cell, so that a cell the walk skips loses hits.
    for (int i = 0; i < 3000; ++i)
    {
        const float h = i % 10 == 0 ? large(random) : size(random);
        EntityTemplate* shape = MakeTemplate(BoundingBox4(Vector(-h, -5, -h * 0.3f, 1), Vector(h * 0.5f, 5, h, 1)));
        Entity* e = gEntityManager.CreateEntity(shape, nullptr, Translation(coordinate(random), 0, coordinate(random)), 0,
                                                nullptr);
        e->SetLocalRotation(Vector(0.0f, angle(random), 0.0f, 1.0f));
        entities.push_back(e);
    }
    for (int segment = 0; segment < 600; ++segment)
    {
        Vector start(coordinate(random), 0.0f, coordinate(random), 1.0f);
        Vector end(coordinate(random), 0.0f, coordinate(random), 1.0f);
        switch (segment % 6)
        {
        case 0: // short segments, often inside one cell or its neighbours
            end.Set(std::clamp(start.x + (end.x - 500.0f) * 0.03f, 1.0f, 999.0f), 0.0f,
                    std::clamp(start.z + (end.z - 500.0f) * 0.03f, 1.0f, 999.0f), 1.0f);
            break;
        case 1: // along a cell edge in z, and along a row in x
            start.x = end.x = 10.0f * std::floor(start.x / 10.0f);
            break;
        case 2:
            end.z = start.z;
            break;
        case 3: // vertical
            end.Set(start.x, 3.0f, start.z, 1.0f);
            start.y = -3.0f;
            break;
        case 4: // through cell corners
            end.Set(start.x + 300.0f, 0.0f, start.z + 300.0f, 1.0f);
            start.Set(10.0f * std::floor(start.x / 10.0f), 0.0f, 10.0f * std::floor(start.z / 10.0f), 1.0f);
            end.Set(std::min(start.x + 300.0f, 990.0f), 0.0f, std::min(start.z + 300.0f, 990.0f), 1.0f);
            break;
        default:
            break;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectSameHits(Walk(start, end), BruteForceHits(entities, start, end), segment));
        ASSERT_NO_FATAL_FAILURE(ExpectSameHits(Walk(end, start), BruteForceHits(entities, end, start), segment));
    }
    EXPECT_EQ(m_log.Messages().size(), 0u);
}

TEST_F(PathGridLineOfSightTest, TheEntryFractionIsMeasuredFromTheStartInEitherDirection)
{
    Entity* onTheWay = Create(nullptr, Translation(55, 0, 55));
    Create(nullptr, Translation(35, 0, 55));
    Create(nullptr, Translation(95, 0, 55));
    const std::map<Entity*, float> hits = Walk(Vector(45, 0, 55, 1), Vector(85, 0, 55, 1));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_NEAR(hits.at(onTheWay), 9.0f / 40.0f, 2e-4f);
    const std::map<Entity*, float> back = Walk(Vector(85, 0, 55, 1), Vector(45, 0, 55, 1));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_NEAR(back.at(onTheWay), 29.0f / 40.0f, 2e-4f);
}

TEST_F(PathGridLineOfSightTest, AnEntityOverManyCellsIsRecordedOnce)
{
    Entity* wall = gEntityManager.CreateEntity(MakeTemplate(BoundingBox4(Vector(-200, -1, -1, 1), Vector(200, 1, 1, 1))),
                                               nullptr, Translation(500, 0, 500), 0, nullptr);
    const std::map<Entity*, float> along = Walk(Vector(305, 0, 500.5f, 1), Vector(705, 0, 500.5f, 1));
    ASSERT_EQ(along.size(), 1u);
    EXPECT_FLOAT_EQ(along.at(wall), 0.0f);
    // A diagonal through the wall's cells.
    const std::map<Entity*, float> across = Walk(Vector(400, 0, 400, 1), Vector(600, 0, 600, 1));
    ASSERT_EQ(across.size(), 1u);
    // The wall's near face is entered a little before the middle of the walk.
    EXPECT_NEAR(across.at(wall), 0.495f, 0.495f * 1.5f / 4096.0f);
}

TEST_F(PathGridLineOfSightTest, PastTheCapacityEntitiesAreSkippedButNeverRepeated)
{
    std::vector<Entity*> row;
    for (int i = 0; i < 20; ++i)
        row.push_back(Create(nullptr, Translation(105.0f + 10.0f * float(i), 0, 105)));
    const std::map<Entity*, float> three = Walk(Vector(100, 0, 105, 1), Vector(400, 0, 105, 1), 3);
    EXPECT_EQ(three.size(), 3u);
    for (const auto& [entity, fraction] : three)
        EXPECT_NE(std::find(row.begin(), row.end(), entity), row.end());
    EXPECT_TRUE(Walk(Vector(100, 0, 105, 1), Vector(400, 0, 105, 1), 0).empty());
    EXPECT_EQ(Walk(Vector(100, 0, 105, 1), Vector(400, 0, 105, 1)).size(), 20u);
}

TEST_F(PathGridLineOfSightTest, AZeroLengthSegmentTestsItsPoint)
{
    Entity* e = Create(nullptr, Translation(200, 0, 200));
    Create(nullptr, Translation(203, 0, 200));
    const std::map<Entity*, float> hits = Walk(Vector(200.5f, 0, 200, 1), Vector(200.5f, 0, 200, 1));
    ASSERT_EQ(hits.size(), 1u);
    ASSERT_TRUE(hits.count(e));
    EXPECT_EQ(hits.at(e), 0.0f);
    EXPECT_TRUE(Walk(Vector(205, 0, 205, 1), Vector(205, 0, 205, 1)).empty());
}

TEST_F(PathGridLineOfSightTest, AStartOutsideTheGridIsRefusedAndAnEndOutsideStopsAtTheEdge)
{
    Entity* nearEdge = Create(nullptr, Translation(995, 0, 500));
    PathGridSegmentHit buffer[4];
    PathGrid& grid = gEntityManager.GetPathGrid();
    EXPECT_EQ(grid.CheckLineOfSight(Vector(1005, 0, 500, 1), Vector(900, 0, 500, 1), buffer, 4), 0);
    EXPECT_TRUE(m_log.Contains("LOS check must begin in a point within the scene bounds"));
    m_log.Clear();
    EXPECT_EQ(grid.CheckLineOfSight(Vector(500, 0, 1000, 1), Vector(500, 0, 900, 1), buffer, 4), 0);
    EXPECT_EQ(grid.CheckLineOfSight(Vector(500, 0, -0.01f, 1), Vector(500, 0, 5, 1), buffer, 4), 0);
    EXPECT_EQ(grid.CheckLineOfSight(Vector(-500, 0, 500, 1), Vector(5, 0, 500, 1), buffer, 4), 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(grid.CheckLineOfSight(Vector(nan, 0, 500, 1), Vector(900, 0, 500, 1), buffer, 4), 0);
    EXPECT_EQ(m_log.Messages().size(), 4u);
    m_log.Clear();
    EXPECT_EQ(grid.CheckLineOfSight(Vector(900, 0, 500, 1), Vector(nan, 0, 500, 1), buffer, 4), 0);
    EXPECT_EQ(m_log.Messages().size(), 1u);
    m_log.Clear();
    // Three columns by ten rows: a start in the last row is inside, an end past the last column ends the walk there.
    PathGrid deep;
    deep.Build(BoundingBox4(Vector(0, 0, 0, 1), Vector(30, 10, 100, 1)), 10.0f);
    EXPECT_EQ(deep.CheckLineOfSight(Vector(5, 0, 95, 1), Vector(50, 0, 5, 1), buffer, 4), 0);
    const std::map<Entity*, float> hits = Walk(Vector(900, 0, 500, 1), Vector(5000, 0, 500, 1));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_NEAR(hits.at(nearEdge), 94.0f / 4100.0f, 2e-4f);
    EXPECT_EQ(m_log.Messages().size(), 0u);
}
} // namespace
