#include "scene/kinds/FlagEntity.h"

#include "core/reflection/EntityReferences.h"
#include "scene/kinds/FlagTemplate.h"
#include "support/SceneTestSupport.h"

#include <cmath>
#include <vector>

namespace
{
class FlagEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_templates.push_back(std::make_unique<FlagTemplate>());
        m_flagTemplate = m_templates.back().get();
    }

    FlagEntity* Flag(float x, float y, float z, Entity* parent = nullptr)
    {
        Entity* entity = gEntityManager.CreateEntity(m_flagTemplate, parent, Translation(x, y, z), 0, nullptr);
        return dynamic_cast<FlagEntity*>(entity);
    }

    static void AddPoint(FlagEntity* flag, int32_t connection, float x, float y, float z)
    {
        FlagEntityConnectionControlPoint point;
        point.m_position.Set(x, y, z);
        flag->GetConnection(connection).m_controlPoints.Add(point);
    }

    static Vector At(const FlagEntity* flag, const FlagEntity* neighbour, float distance, bool wrap,
                     const FlagEntity* previous = nullptr)
    {
        Matrix m;
        flag->GetGlobalPositionOnPath(neighbour, distance, m, wrap, previous);
        return m.rows[3];
    }

    EntityTemplate* m_flagTemplate = nullptr;
};

void ExpectNear(const Vector& v, float x, float y, float z, float tolerance = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool IsFinite(const Matrix& m)
{
    for (const Vector& row : m.rows)
        if (!std::isfinite(row.x) || !std::isfinite(row.y) || !std::isfinite(row.z) || !std::isfinite(row.w))
            return false;
    return true;
}

TEST_F(FlagEntityTest, AStraightPathIsWalkedByDistanceWithClampAndWrap)
{
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(10.0f, 0.0f, 0.0f);
    ASSERT_NE(a, nullptr);
    a->AddConnection(b);
    a->UpdateConnectionLengths();
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 10.0f);
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(0), 10.0f);

    ExpectNear(At(a, b, 4.0f, false), 4.0f, 0.0f, 0.0f);
    ExpectNear(At(a, b, 12.0f, false), 10.0f, 0.0f, 0.0f);
    ExpectNear(At(a, b, 12.0f, true), 2.0f, 0.0f, 0.0f);
    ExpectNear(At(a, b, -3.0f, false), 0.0f, 0.0f, 0.0f);
    ExpectNear(At(a, b, -3.0f, true), 0.0f, 0.0f, 0.0f);

    // The transform looks along the path with world up as its y axis.
    Matrix m;
    a->GetGlobalPositionOnPath(b, 4.0f, m, false, nullptr);
    ExpectNear(m.rows[2], 1.0f, 0.0f, 0.0f);
    ExpectNear(m.rows[1], 0.0f, 1.0f, 0.0f);
    ExpectNear(m.rows[0], 0.0f, 0.0f, -1.0f);
    EXPECT_FLOAT_EQ(m.rows[3].w, 1.0f);
}

TEST_F(FlagEntityTest, PathTransformsAreInWorldSpaceThroughTheParent)
{
    Entity* parent = Create(nullptr, Translation(100.0f, 5.0f, 0.0f));
    FlagEntity* a = Flag(0.0f, 2.0f, 0.0f, parent);
    FlagEntity* b = Flag(0.0f, 8.0f, 8.0f, parent);
    a->AddConnection(b);
    a->UpdateConnectionLengths();
    ExpectNear(At(a, b, 2.0f, false), 100.0f, 8.2f, 1.6f);
    // By index the same connection; out of range and unknown neighbours give the flag's own matrix.
    Matrix m;
    a->GetGlobalPositionOnPath(0, 2.0f, m, false, nullptr);
    ExpectNear(m.rows[3], 100.0f, 8.2f, 1.6f);
    a->GetGlobalPositionOnPath(1, 2.0f, m, false, nullptr);
    EXPECT_TRUE(m.rows[3].Equal(a->GetGlobalLocationMatrix().rows[3]));
    a->GetGlobalPositionOnPath(a, 2.0f, m, false, nullptr);
    EXPECT_TRUE(m.rows[3].Equal(a->GetGlobalLocationMatrix().rows[3]));
    a->GetGlobalPositionOnPath(-1, 2.0f, m, false, nullptr);
    EXPECT_TRUE(m.rows[2].Equal(a->GetGlobalLocationMatrix().rows[2]));
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(5), 0.0f);
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(a), 0.0f);
}

TEST_F(FlagEntityTest, AReverseConnectionMirrorsTheControlPointsAndKeepsTheLength)
{
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(20.0f, 0.0f, 0.0f);
    a->AddConnection(b);
    AddPoint(a, 0, 5.0f, 0.0f, 4.0f);
    AddPoint(a, 0, 12.0f, 0.0f, -3.0f);
    a->UpdateConnectionLengths();
    const FlagEntityConnection& forward = a->GetConnection(0);
    const float length = forward.m_length;
    ASSERT_GT(length, 20.0f);

    b->AddConnection(a);
    b->AddConnection(a);
    ASSERT_EQ(b->GetConnectionCount(), 1);
    const FlagEntityConnection& back = b->GetConnection(0);
    EXPECT_EQ(back.GetDestination(), a);
    EXPECT_FLOAT_EQ(back.m_length, length);
    ASSERT_EQ(back.GetControlPointCount(), 2);
    ExpectNear(back.GetControlPoint(0), 12.0f, 0.0f, -3.0f, 0.0f);
    ExpectNear(back.GetControlPoint(1), 5.0f, 0.0f, 4.0f, 0.0f);
    EXPECT_FLOAT_EQ(back.GetControlPointDistance(0), length - forward.GetControlPointDistance(1));
    EXPECT_FLOAT_EQ(back.GetControlPointDistance(1), length - forward.GetControlPointDistance(0));
    EXPECT_TRUE(a->HasNeighbour(b));
    EXPECT_TRUE(b->HasNeighbour(a));
    EXPECT_FALSE(a->HasNeighbour(a));

    // A connection made first has nothing to copy: no points and no length until it is measured.
    FlagEntity* c = Flag(0.0f, 0.0f, 5.0f);
    c->AddConnection(a);
    EXPECT_EQ(c->GetConnection(0).GetControlPointCount(), 0);
    EXPECT_FLOAT_EQ(c->GetConnection(0).m_length, 0.0f);
}

TEST_F(FlagEntityTest, CurvedPathsAreMeasuredAndWalkedByArcLength)
{
    // Symmetric about x = 5: the control point sits half way along the path.
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(10.0f, 0.0f, 0.0f);
    a->AddConnection(b);
    AddPoint(a, 0, 5.0f, 0.0f, 5.0f);
    a->UpdateConnectionLengths();
    const FlagEntityConnection& c = a->GetConnection(0);
    const float half = c.GetControlPointDistance(0);
    EXPECT_NEAR(half * 2.0f, c.m_length, 1e-3f);
    // Longer than the chords, shorter than a detour of twice their length.
    EXPECT_GT(half, std::sqrt(50.0f));
    EXPECT_LT(half, 2.0f * std::sqrt(50.0f));

    ExpectNear(At(a, b, 0.0f, false), 0.0f, 0.0f, 0.0f);
    ExpectNear(At(a, b, half, false), 5.0f, 0.0f, 5.0f, 1e-3f);
    ExpectNear(At(a, b, c.m_length, false), 10.0f, 0.0f, 0.0f, 1e-3f);
    ExpectNear(At(a, b, c.m_length + half, true), 5.0f, 0.0f, 5.0f, 1e-3f);
    ExpectNear(At(a, b, c.m_length + 50.0f, false), 10.0f, 0.0f, 0.0f, 1e-3f);

    // Equal steps of distance are equal steps along the curve.
    Vector previous = At(a, b, 0.0f, false);
    for (float d = 0.5f; d < c.m_length; d += 0.5f)
    {
        const Vector point = At(a, b, d, false);
        EXPECT_NEAR(point.Distance(previous), 0.5f, 0.02f) << "at " << d;
        previous = point;
    }
    // The path's heading at the control point runs along x.
    Matrix m;
    a->GetGlobalPositionOnPath(b, half, m, false, nullptr);
    ExpectNear(m.rows[2], 1.0f, 0.0f, 0.0f, 1e-3f);
}

TEST_F(FlagEntityTest, TheCurvePassesOnThroughTheNeighbourAndComesInFromThePreviousFlag)
{
    FlagEntity* e = Flag(-10.0f, 0.0f, 0.0f);
    FlagEntity* f = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* n = Flag(10.0f, 0.0f, 0.0f);
    FlagEntity* onward = Flag(20.0f, 0.0f, 10.0f);
    f->AddConnection(n);
    AddPoint(f, 0, 5.0f, 0.0f, 2.0f);
    // Without a previous flag the path starts from its own flag.
    ExpectNear(f->GetPreviousPathPoint(nullptr), 0.0f, 0.0f, 0.0f, 0.0f);
    ExpectNear(f->GetPreviousPathPoint(e), 0.0f, 0.0f, 0.0f, 0.0f);
    e->AddConnection(f);
    ExpectNear(f->GetPreviousPathPoint(e), -10.0f, 0.0f, 0.0f, 0.0f);
    AddPoint(e, 0, -5.0f, 0.0f, -3.0f);
    AddPoint(e, 0, -2.0f, 0.0f, -1.0f);
    ExpectNear(f->GetPreviousPathPoint(e), -2.0f, 0.0f, -1.0f, 0.0f);

    // A neighbour without connections ends the path.
    ExpectNear(f->GetNextPathPoint(f->GetConnection(0)), 10.0f, 0.0f, 0.0f, 0.0f);
    // One onward connection: its destination, or its first control point.
    n->AddConnection(onward);
    ExpectNear(f->GetNextPathPoint(f->GetConnection(0)), 20.0f, 0.0f, 10.0f, 0.0f);
    AddPoint(n, 0, 14.0f, 0.0f, 3.0f);
    AddPoint(n, 0, 18.0f, 0.0f, 8.0f);
    ExpectNear(f->GetNextPathPoint(f->GetConnection(0)), 14.0f, 0.0f, 3.0f, 0.0f);
    // Two connections of which one leads back: the other one goes on.
    n->AddConnection(f);
    ASSERT_EQ(n->GetConnectionCount(), 2);
    ExpectNear(f->GetNextPathPoint(f->GetConnection(0)), 14.0f, 0.0f, 3.0f, 0.0f);
    // Only one connection, and it leads back: the path ends at the neighbour.
    FlagEntity* g = Flag(0.0f, 0.0f, 30.0f);
    FlagEntity* h = Flag(0.0f, 0.0f, 40.0f);
    g->AddConnection(h);
    h->AddConnection(g);
    ExpectNear(g->GetNextPathPoint(g->GetConnection(0)), 0.0f, 0.0f, 40.0f, 0.0f);

    // The onward point bends the last segment of the walk; the previous one bends the first.
    f->UpdateConnectionLengths();
    const float length = f->GetConnection(0).m_length;
    const Vector late = At(f, n, length * 0.9f, false, nullptr);
    n->GetConnection(0).m_controlPoints[0].m_position.Set(14.0f, 0.0f, -30.0f);
    const Vector lateBent = At(f, n, length * 0.9f, false, nullptr);
    EXPECT_GT(lateBent.Distance(late), 0.01f);
    const Vector early = At(f, n, 0.5f, false, nullptr);
    const Vector earlyFromE = At(f, n, 0.5f, false, e);
    EXPECT_GT(earlyFromE.Distance(early), 0.001f);
}

TEST_F(FlagEntityTest, CoincidentPointsGiveFiniteTransforms)
{
    FlagEntity* a = Flag(3.0f, 0.0f, 3.0f);
    FlagEntity* b = Flag(3.0f, 0.0f, 3.0f);
    a->AddConnection(b);
    a->UpdateConnectionLengths();
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 0.0f);
    for (const bool wrap : {false, true})
    {
        Matrix m;
        a->GetGlobalPositionOnPath(b, 5.0f, m, wrap, nullptr);
        EXPECT_TRUE(IsFinite(m));
        ExpectNear(m.rows[3], 3.0f, 0.0f, 3.0f);
        EXPECT_GT(m.rows[2].Length2(), 0.5f);
    }
    // Control points on top of the flags and of each other.
    FlagEntity* c = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* d = Flag(0.0f, 0.0f, 10.0f);
    c->AddConnection(d);
    AddPoint(c, 0, 0.0f, 0.0f, 0.0f);
    AddPoint(c, 0, 0.0f, 0.0f, 0.0f);
    AddPoint(c, 0, 0.0f, 0.0f, 10.0f);
    c->UpdateConnectionLengths();
    for (float distance = -1.0f; distance <= 12.0f; distance += 0.25f)
        for (const bool wrap : {false, true})
        {
            Matrix m;
            c->GetGlobalPositionOnPath(d, distance, m, wrap, nullptr);
            EXPECT_TRUE(IsFinite(m)) << "at " << distance;
        }
    // Paths straight up and straight down still have a full basis.
    FlagEntity* low = Flag(50.0f, 0.0f, 50.0f);
    FlagEntity* high = Flag(50.0f, 10.0f, 50.0f);
    for (const auto& [from, to] : {std::pair(low, high), std::pair(high, low)})
    {
        from->AddConnection(to);
        from->UpdateConnectionLengths();
        Matrix m;
        from->GetGlobalPositionOnPath(to, 5.0f, m, false, nullptr);
        EXPECT_TRUE(IsFinite(m));
        EXPECT_NEAR(m.rows[0].Length(), 1.0f, 1e-4f);
        ExpectNear(m.rows[3], 50.0f, 5.0f, 50.0f);
    }
}

TEST_F(FlagEntityTest, TheNearestPathPositionFollowsTheCurve)
{
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(10.0f, 0.0f, 0.0f);
    a->AddConnection(b);
    a->UpdateConnectionLengths();
    // Straight paths have no nearest position but their start.
    EXPECT_FLOAT_EQ(a->GetPathPositionNearestToGlobalPoint(b, Vector(7.0f, 0.0f, 0.0f, 1.0f), nullptr), 0.0f);

    AddPoint(a, 0, 5.0f, 0.0f, 5.0f);
    a->UpdateConnectionLengths();
    const FlagEntityConnection& c = a->GetConnection(0);
    const float half = c.GetControlPointDistance(0);
    EXPECT_NEAR(a->GetPathPositionNearestToGlobalPoint(b, Vector(5.0f, 0.0f, 9.0f, 1.0f), nullptr), half, 0.1f);
    EXPECT_NEAR(a->GetPathPositionNearestToGlobalPoint(0, Vector(-3.0f, 0.0f, -1.0f, 1.0f), nullptr), 0.0f, 0.1f);
    EXPECT_NEAR(a->GetPathPositionNearestToGlobalPoint(b, Vector(13.0f, 0.0f, -1.0f, 1.0f), nullptr), c.m_length,
                0.1f);
    // Walking to the nearest position lands next to the query point's projection.
    const float d = a->GetPathPositionNearestToGlobalPoint(b, Vector(2.0f, 0.0f, 8.0f, 1.0f), nullptr);
    const Vector on = At(a, b, d, false);
    for (float other = 0.0f; other <= c.m_length; other += 0.25f)
        EXPECT_LE(on.Distance(Vector(2.0f, 0.0f, 8.0f, 1.0f)),
                  At(a, b, other, false).Distance(Vector(2.0f, 0.0f, 8.0f, 1.0f)) + 0.05f);
    EXPECT_FLOAT_EQ(a->GetPathPositionNearestToGlobalPoint(3, Vector(2.0f, 0.0f, 8.0f, 1.0f), nullptr), 0.0f);
    EXPECT_FLOAT_EQ(a->GetPathPositionNearestToGlobalPoint(a, Vector(2.0f, 0.0f, 8.0f, 1.0f), nullptr), 0.0f);
}

TEST_F(FlagEntityTest, DeadConnectionsGoAtTheNextSerializationOrLengthUpdateKeepingOrder)
{
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(3.0f, 0.0f, 4.0f);
    FlagEntity* c = Flag(0.0f, 0.0f, 7.0f);
    FlagEntity* d = Flag(1.0f, 0.0f, 0.0f);
    a->AddConnection(b);
    a->AddConnection(c);
    a->AddConnection(d);
    b->DeleteMe();
    ASSERT_EQ(a->GetConnectionCount(), 3);
    std::vector<uint8_t> bytes(a->SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(a->GetConnectionCount(), 2);
    EXPECT_EQ(a->GetConnection(0).GetDestination(), c);
    EXPECT_EQ(a->GetConnection(1).GetDestination(), d);
    c->DeleteMe();
    a->UpdateConnectionLengths();
    ASSERT_EQ(a->GetConnectionCount(), 1);
    EXPECT_EQ(a->GetConnection(0).GetDestination(), d);
    EXPECT_FLOAT_EQ(a->GetConnection(0).m_length, 1.0f);
}

TEST_F(FlagEntityTest, ConnectionsRoundTripThroughTheEntityRecord)
{
    FlagEntity* a = Flag(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Flag(9.0f, 0.0f, 0.0f);
    a->AddConnection(b);
    AddPoint(a, 0, 4.0f, 1.0f, 2.0f);
    a->UpdateConnectionLengths();
    // Only the flag's own properties: the copy must not take the source's GUID.
    constexpr uint32_t kOwnClassOnly = 8;
    std::vector<uint8_t> bytes(a->SerializeToMemory(nullptr, 0, kOwnClassOnly));
    ASSERT_EQ(a->SerializeToMemory(bytes.data(), bytes.size(), kOwnClassOnly), bytes.size());

    FlagEntity* copy = Flag(0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(BeginPendingEntityReferences());
    ASSERT_TRUE(copy->DeserializeFromMemory(bytes.data(), bytes.size(), kOwnClassOnly));
    ResolvePendingEntityReferences();
    ASSERT_EQ(copy->GetConnectionCount(), 1);
    const FlagEntityConnection& c = copy->GetConnection(0);
    EXPECT_EQ(c.GetDestination(), b);
    EXPECT_FLOAT_EQ(c.m_length, a->GetConnection(0).m_length);
    ASSERT_EQ(c.GetControlPointCount(), 1);
    ExpectNear(c.GetControlPoint(0), 4.0f, 1.0f, 2.0f, 0.0f);
    EXPECT_FLOAT_EQ(c.GetControlPointDistance(0), a->GetConnection(0).GetControlPointDistance(0));
}
} // namespace
