// The character controller in a scene: free moves, sliding along walls, steps up to the automatic
// step height and not above, the constraint box, refused moves, path following at the set speed
// with the right yaw around an obstacle, reachability that answers with the closest point a target
// cannot be reached at and fails only when no search starts, path smoothing by hand-computed weights, and the script class.
#include "gameplay/navigation/VerySimpleCharacterController.h"

#include "engine/Game.h"
#include "gameplay/navigation/PathSmoothing.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshPickingFixtures.h"
#include "support/GoldenText.h"
#include "support/NavigationTestSupport.h"
#include "support/ScriptedSceneTest.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace
{
constexpr float kStep = 0.1f;

class VerySimpleCharacterControllerTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        ResetClocks();
    }
    void TearDown() override
    {
        ResetClocks();
        gEntityManager.SetNavigationGrid(nullptr);
        SceneTest::TearDown();
        m_meshes.clear();
    }
    static void ResetClocks()
    {
        for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                                 &gGame.GetSmoothGameplayTimer()})
            timer->Reset();
    }
    // One frame of the smooth clocks the controller reads.
    static void Frame(float seconds = kStep)
    {
        gGame.GetSmoothGameTimer().Tick(seconds);
        gGame.GetSmoothGameplayTimer().Tick(seconds);
    }
    // A mesh whose player collision is the box [min, max] (world space, entity at the origin, or
    // mirrored on x with the box mirrored to match).
    Entity* Block(const Vector& min, const Vector& max, bool mirrored = false)
    {
        MeshTemplateSpec spec;
        m_meshes.push_back(MeshTemplateWriter::MakeTemplate(spec));
        MeshTemplate& meshTemplate = *m_meshes.back();
        const std::string scale = std::to_string((max.x - min.x) * 0.5f) + " " + std::to_string((max.y - min.y) * 0.5f) +
                                  " " + std::to_string((max.z - min.z) * 0.5f) + " 1";
        const std::string offset = std::to_string((max.x + min.x) * 0.5f) + " " +
                                   std::to_string((max.y + min.y) * 0.5f) + " " +
                                   std::to_string((max.z + min.z) * 0.5f) + " 0";
        EXPECT_TRUE(SetProperty(meshTemplate, "Player collision type", "1"));
        EXPECT_TRUE(SetProperty(meshTemplate, "Collision box scale", scale.c_str()));
        EXPECT_TRUE(SetProperty(meshTemplate, "Collision box offset", offset.c_str()));
        meshTemplate.RecomputeCollisionBox();
        meshTemplate.SetStaticBoundingBox(BoundingBox4(min, max));
        if (!mirrored)
            return gEntityManager.CreateEntity(&meshTemplate, nullptr, Matrix::ONE, 0, nullptr);
        Matrix mirror = Matrix::ONE;
        mirror.rows[0].x = -1.0f;
        EXPECT_TRUE(SetProperty(meshTemplate, "Collision box offset",
                                (std::to_string(-(max.x + min.x) * 0.5f) + " " + std::to_string((max.y + min.y) * 0.5f) +
                                 " " + std::to_string((max.z + min.z) * 0.5f) + " 0")
                                    .c_str()));
        meshTemplate.RecomputeCollisionBox();
        meshTemplate.SetStaticBoundingBox(
            BoundingBox4(Vector(-max.x, min.y, min.z, 1), Vector(-min.x, max.y, max.z, 1)));
        Entity* entity = gEntityManager.CreateEntity(&meshTemplate, nullptr, mirror, 0, nullptr);
        EXPECT_TRUE(entity->IsTransformMirrored());
        return entity;
    }
    void Ground() { Block(Vector(-50, -1, -50, 1), Vector(50, 0, 50, 1)); }
    // A character of radius 0.5 standing at (x, 0, z).
    std::unique_ptr<VerySimpleCharacterController> Character(float x, float z, float radius = 0.5f)
    {
        m_body = Create(nullptr, Translation(x, 0, z));
        return std::make_unique<VerySimpleCharacterController>(m_body, radius);
    }
    static void MoveFor(VerySimpleCharacterController& c, const Vector& velocity, int frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            Frame();
            c.Move(velocity);
        }
    }
    // Runs path work until the controller is idle; the frames it took, or -1.
    static int TickUntilIdle(VerySimpleCharacterController& c, int limit = 3000)
    {
        for (int i = 0; i < limit; ++i)
        {
            Frame();
            c.Tick();
            if (c.IsIdle())
                return i + 1;
        }
        return -1;
    }
    // A 20 x 20 grid of unit tiles with a wall of blocked tiles at x = 10 from y = 3 to 17.
    void WalledGrid()
    {
        std::string map;
        for (int y = 0; y < 20; ++y)
        {
            std::string row(20, '.');
            if (y >= 3 && y <= 17)
                row[10] = '#';
            map += row + "\n";
        }
        auto* grid = new NavigationGrid;
        LoadMap(*grid, map);
        gEntityManager.SetNavigationGrid(grid);
    }

    std::vector<std::unique_ptr<MeshTemplate>> m_meshes;
    Entity* m_body = nullptr;
};
} // namespace

TEST_F(VerySimpleCharacterControllerTest, AFreeMoveAdvancesByVelocityTimesTheFrameAndCarriesTheEntity)
{
    auto c = Character(1, 2);
    EXPECT_FLOAT_EQ(c->GetPosition().y, 0.5f);
    EXPECT_EQ(c->GetPosition().w, 1.0f) << "scripts read the centre as a point";
    MoveFor(*c, Vector(2, 0, -1, 0), 5);
    EXPECT_NEAR(c->GetPosition().x, 2.0f, 1e-4f);
    EXPECT_NEAR(c->GetPosition().z, 1.5f, 1e-4f);
    EXPECT_NEAR(c->GetPosition().y, 0.5f, 1e-4f);
    EXPECT_NEAR(m_body->GetGlobalPosition().x, 2.0f, 1e-4f);
    EXPECT_NEAR(m_body->GetGlobalPosition().y, 0.0f, 1e-4f);
    // A paused smooth clock gives no frame time, so nothing moves.
    gGame.GetSmoothGameTimer().Pause(true);
    MoveFor(*c, Vector(2, 0, 0, 0), 3);
    EXPECT_NEAR(c->GetPosition().x, 2.0f, 1e-4f);
    gGame.GetSmoothGameTimer().Pause(false);
    // Only a speed below 0.001 counts as standing still.
    MoveFor(*c, Vector(0.002f, 0, 0, 0), 5);
    EXPECT_NEAR(c->GetPosition().x, 2.001f, 1e-5f);
    MoveFor(*c, Vector(0.0009f, 0, 0, 0), 5);
    EXPECT_NEAR(c->GetPosition().x, 2.001f, 1e-5f);
    // A frozen height stays whatever the ground does.
    c->SetPosition(Vector(0, 3, 0, 1));
    c->FreezeYPosition(true);
    MoveFor(*c, Vector(1, -5, 0, 0), 4);
    EXPECT_FLOAT_EQ(c->GetPosition().y, 3.5f);
    EXPECT_FLOAT_EQ(m_body->GetGlobalPosition().y, 3.0f);
    // With nothing within reach, a push out of a sphere at its own centre is taken whole.
    const float z = c->GetPosition().z;
    c->MoveAwayFromMySphere(c->GetPosition(), Vector(0, 0, 1, 0), 0.5f, nullptr);
    EXPECT_NEAR(c->GetPosition().z, z + 1.0f, 1e-4f);
}

TEST_F(VerySimpleCharacterControllerTest, AWallStopsTheCharacterAndItSlidesAlongIt)
{
    Ground();
    Block(Vector(2, 0, -50, 1), Vector(3, 3, 50, 1));
    // A post whose near face ends 0.3 short of the sliding centre: a slide meets faces only, so the
    // post's edge, reaching into the sphere, does not stop it.
    Block(Vector(0, 0, 3, 1), Vector(1.2f, 3, 4, 1));
    auto c = Character(0, 0);
    MoveFor(*c, Vector(1, 0, 1, 0), 40);
    const Vector& p = m_body->GetGlobalPosition();
    EXPECT_LE(p.x, 1.5f);
    EXPECT_GT(p.x, 1.45f);
    // 5.66 units of travel: 1.5 diagonally to the wall, the rest (3.54, less the gaps) along it.
    EXPECT_NEAR(p.z, 5.0f, 0.05f);
    EXPECT_NEAR(p.y, 0.0f, 0.02f);
    // Head-on it goes no further.
    MoveFor(*c, Vector(1, 0, 0, 0), 10);
    EXPECT_LE(m_body->GetGlobalPosition().x, 1.5f);
    // An entity with flag 0x20 collides with nothing: one unit on, into the wall, at its frozen height.
    m_body->RaiseFlag(ENTITYFLAG_HOOKED_32, false);
    const float y = m_body->GetGlobalPosition().y;
    c->FreezeYPosition(true);
    MoveFor(*c, Vector(1, -1, 0, 0), 10);
    EXPECT_NEAR(m_body->GetGlobalPosition().x, 2.5f, 0.01f);
    EXPECT_FLOAT_EQ(m_body->GetGlobalPosition().y, y);
}

TEST_F(VerySimpleCharacterControllerTest, TheCharactersOwnMeshDoesNotStopIt)
{
    Ground();
    // Its collision box reaches just ahead of it and moves with it.
    Entity* const body = Block(Vector(0.55f, 0, -1, 1), Vector(1.55f, 2, 1, 1));
    VerySimpleCharacterController c(body, 0.5f);
    MoveFor(c, Vector(1, 0, 0, 0), 10);
    EXPECT_NEAR(body->GetGlobalPosition().x, 10 * kStep, 1e-4f);
}

TEST_F(VerySimpleCharacterControllerTest, ASlideIntoASlantedCornerNeverTurnsBackAgainstThePush)
{
    Ground();
    Block(Vector(2, 0, -50, 1), Vector(3, 3, 50, 1));
    // A wall turned 45 degrees closes the corner ahead of the slide along the first one.
    Entity* slanted = Block(Vector(-1, 0, -1, 1), Vector(1, 3, 1, 1));
    Matrix turned;
    turned.LoadYRotation(45.0f);
    turned.rows[3] = Vector(2, 0, 3, 1);
    slanted->SetGlobalLocationMatrix(turned);
    auto c = Character(0, 0);
    MoveFor(*c, Vector(30, 0, 10, 0), 1);
    EXPECT_NEAR(m_body->GetGlobalPosition().x, 1.5f, 0.01f) << "the last slide keeps the push's side";
}

TEST_F(VerySimpleCharacterControllerTest, MirroredBoxesAndTriangleMeshesCollideToo)
{
    Block(Vector(2, -1, -50, 1), Vector(3, 3, 50, 1), true);
    // A floor of two triangles, scaled to 20 x 20, collides by its faces.
    m_meshes.push_back(MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquareReversed, {{{0, 2}}})));
    ASSERT_TRUE(SetProperty(*m_meshes.back(), "Player collision type", "2"));
    m_meshes.back()->SetStaticBoundingBox(BoundingBox4(Vector(-1, -0.1f, -1, 1), Vector(1, 0.1f, 1, 1)));
    Matrix wide = Matrix::ONE;
    wide.rows[0].x = wide.rows[2].z = 10.0f;
    gEntityManager.CreateEntity(m_meshes.back().get(), nullptr, wide, 0, nullptr);

    auto c = Character(0, 0);
    c->SetPosition(Vector(0, 0.2f, 0, 1));
    // Pushed out of a sphere of radius 0.5 at its own centre: 1 along the way, then a gravity
    // drop (0.01 + 10 x 0.1) that the floor's triangles stop.
    Frame();
    c->MoveAwayFromMySphere(Vector(0, 0.7f, 0, 1), Vector(1, 0, 0, 0), 0.5f, nullptr);
    EXPECT_NEAR(m_body->GetGlobalPosition().x, 1.0f, 1e-4f);
    EXPECT_NEAR(m_body->GetGlobalPosition().y, 0.0f, 0.01f);
    MoveFor(*c, Vector(1, 0, 0, 0), 30);
    EXPECT_LE(m_body->GetGlobalPosition().x, 1.5f);
    EXPECT_GT(m_body->GetGlobalPosition().x, 1.4f);
}

TEST_F(VerySimpleCharacterControllerTest, StepsUpToTheAutomaticStepHeightAndNotAbove)
{
    // A sphere also settles on an edge within 60 degrees of its bottom, so it climbs up to the step
    // height plus half its radius: a small radius keeps that margin small.
    Ground();
    Block(Vector(2, 0, -20, 1), Vector(6, 0.25f, -2, 1));
    Block(Vector(2, 0, 2, 1), Vector(6, 0.4f, 20, 1));
    auto low = Character(0, -10, 0.1f);
    Entity* lowBody = m_body;
    auto high = Character(0, 10, 0.1f);
    for (auto* c : {low.get(), high.get()})
        c->SetAutoStepHeight(0.3f);
    for (int i = 0; i < 40; ++i)
    {
        Frame();
        low->Move(Vector(1, 0, 0, 0));
        high->Move(Vector(1, 0, 0, 0));
    }
    EXPECT_GT(lowBody->GetGlobalPosition().x, 3.5f);
    EXPECT_NEAR(lowBody->GetGlobalPosition().y, 0.25f, 0.02f);
    EXPECT_LT(m_body->GetGlobalPosition().x, 1.91f);
    EXPECT_NEAR(m_body->GetGlobalPosition().y, 0.0f, 0.02f);
    // Settling back after the rise, a steep edge below where the drop began holds the character:
    // only faces reaching above that height are slid down.
    Block(Vector(2, 0, 30, 1), Vector(6, 1.15f, 40, 1));
    auto ledge = Character(1.51f, 35);
    ledge->SetPosition(Vector(1.51f, 0.5f, 35, 1));
    ledge->SetAutoStepHeight(0.5f);
    MoveFor(*ledge, Vector(0, 0, 0.1f, 0), 1);
    EXPECT_NEAR(ledge->GetPosition().y, 1.15f + std::sqrt(0.25f - 0.49f * 0.49f), 0.01f) << "on the edge 0.49 away";
    // A face steeper than 60 degrees reaching above that height is slid down, away from it: a plane
    // at 70 degrees facing -x, walked into from 0.55 away.
    m_meshes.push_back(MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquareReversed, {{{0, 2}}})));
    ASSERT_TRUE(SetProperty(*m_meshes.back(), "Player collision type", "2"));
    m_meshes.back()->SetStaticBoundingBox(BoundingBox4(Vector(-1, -0.1f, -1, 1), Vector(1, 0.1f, 1, 1)));
    const float c70 = std::cos(70.0f * 0.017453292f), s70 = std::sin(70.0f * 0.017453292f);
    Matrix steep;
    steep.Set(Vector(5 * c70, 5 * s70, 0, 0), Vector(-s70, c70, 0, 0), Vector(0, 0, 5, 0), Vector(0, 0, -35, 1));
    gEntityManager.CreateEntity(m_meshes.back().get(), nullptr, steep, 0, nullptr);
    auto faced = Character(0, -35);
    faced->SetPosition(Vector(0.324f, 2, -35, 1));
    faced->SetAutoStepHeight(0.5f);
    MoveFor(*faced, Vector(3, 0, 0, 0), 1);
    const Vector& at = faced->GetPosition();
    EXPECT_GT(c70 * at.y - s70 * at.x, 0.5f) << "clear of the face";
    EXPECT_LT(at.y, 2.99f) << "below the rise";
}

TEST_F(VerySimpleCharacterControllerTest, TheConstraintBoxKeepsTheCharacterInAndLetsItBackIn)
{
    auto c = Character(0, 0);
    OBBox4 box;
    box.center = Vector(0, 1, 0, 1);
    box.extents[0] = Vector(2, 0, 0, 0);
    box.extents[1] = Vector(0, 2, 0, 0);
    box.extents[2] = Vector(0, 0, 2, 0);
    c->SetMoveConstraints(box);
    ASSERT_EQ(c->GetConstraintTriangles().size(), 12u);
    for (const CollisionTriangle& t : c->GetConstraintTriangles())
        EXPECT_GT(t.SignedDistance(box.center), 0.0f);
    MoveFor(*c, Vector(2, 0, 0, 0), 30);
    EXPECT_LE(c->GetPosition().x, 1.5f);
    EXPECT_GT(c->GetPosition().x, 1.4f);
    // Outside the box: no further out, even beside an edge, but back in.
    for (const float z : {-1.8f, 0.0f})
    {
        c->SetPosition(Vector(5, 0, z, 1));
        MoveFor(*c, Vector(2, 0, 0, 0), 5);
        EXPECT_NEAR(c->GetPosition().x, 5.0f, 0.01f) << z;
    }
    MoveFor(*c, Vector(-2, 0, 0, 0), 5);
    EXPECT_NEAR(c->GetPosition().x, 4.0f, 0.01f);
    c->ResetMoveConstaints();
    MoveFor(*c, Vector(2, 0, 0, 0), 5);
    EXPECT_NEAR(c->GetPosition().x, 5.0f, 0.01f);
}

TEST_F(VerySimpleCharacterControllerTest, MovesOfAGoneEntityOrAZeroRadiusStaySafe)
{
    Ground();
    Block(Vector(2, 0, -50, 1), Vector(3, 3, 50, 1));
    auto thin = Character(0, 5, 0.0f);
    Frame(1.0f);
    thin->Move(Vector(100, 0, 0, 0));
    EXPECT_TRUE(std::isfinite(thin->GetPosition().x));
    EXPECT_LE(thin->GetPosition().x, 2.0f);

    auto c = Character(0, 0);
    m_body->DeleteMe();
    m_log.Clear();
    Frame();
    c->Move(Vector(1, 0, 0, 0));
    EXPECT_TRUE(m_log.Contains("controlled entity is gone", CONSOLE_WARNING));
    EXPECT_FLOAT_EQ(c->GetPosition().x, 0.0f);
}

TEST_F(VerySimpleCharacterControllerTest, APathIsFollowedAroundTheWallAtTheSetSpeedFacingItsWay)
{
    WalledGrid();
    auto c = Character(2, 10);
    c->MoveToPoint(Vector(17, 0, 10, 1), 400);
    EXPECT_TRUE(c->IsIdle()); // without a path finder nothing is asked
    c->InitPathfinder();
    c->MoveToPoint(Vector(17, 0, 10, 1), 400);
    ASSERT_EQ(c->GetPathState(), VerySimpleCharacterController::PATH_SEARCHING);
    c->SetPathMovementVelocity(2.0f);
    Frame();
    c->Tick();
    ASSERT_EQ(c->GetPathState(), VerySimpleCharacterController::PATH_FOLLOWING);
    bool checkedStride = false;
    for (int i = 0; i < 400 && !c->IsIdle(); ++i)
    {
        const Vector before = m_body->GetGlobalPosition();
        Frame();
        c->Tick();
        const Vector& after = m_body->GetGlobalPosition();
        // Smoothing cuts the corners a little, but the way leads round the wall's end.
        if (std::fabs(after.x - 10.0f) < 0.6f)
        {
            EXPECT_GT(std::fabs(after.z - 10.0f), 4.0f) << "crossed the wall at z " << after.z;
        }
        if (!checkedStride && i == 20)
        {
            checkedStride = true;
            EXPECT_NEAR(before.Distance(after), 0.2f, 0.01f);
            EXPECT_TRUE(c->HasBeenFollowingPathRecently(0.3f));
            c->MoveToPoint(Vector(17, 0, 10, 1), 400);
        }
        else if (i == 21)
        {
            EXPECT_NEAR(before.Distance(after), 0.2f, 0.01f) << "the walk goes on while a new path is searched";
        }
        // The entity faces the segment it walks, on every leg of the way.
        const Vector& forward = m_body->GetGlobalLocationMatrix().rows[2];
        const Vector& way = c->GetLastPathSegmentDirection();
        const float length = std::sqrt(way.x * way.x + way.z * way.z);
        if (!c->IsIdle() && length > 0.5f)
        {
            EXPECT_NEAR(forward.x, way.x / length, 1e-3f);
            EXPECT_NEAR(forward.z, way.z / length, 1e-3f);
        }
    }
    ASSERT_TRUE(c->IsIdle());
    EXPECT_LT(m_body->GetGlobalPosition().Distance(Vector(17, 0, 10, 1)), 1.0f);
    EXPECT_EQ(c->GetLastPathSegmentDirection().x, 0.0f);
    Frame(0.5f);
    EXPECT_FALSE(c->HasBeenFollowingPathRecently(0.3f));
    // A move whose search cannot start ends the one under way.
    c->MoveToPoint(Vector(2, 0, 10, 1), 400);
    ASSERT_FALSE(c->IsIdle());
    c->MoveToPoint(Vector(-5, 0, -5, 1), 400);
    EXPECT_TRUE(c->IsIdle());
}

TEST_F(VerySimpleCharacterControllerTest, ReachabilityAnswersWithTheClosestPointAndFailsOnlyWithoutASearch)
{
    // Tile (15, 15) is passable but walled in on every side.
    std::string map;
    for (int y = 0; y < 20; ++y)
    {
        std::string row(20, '.');
        if (y >= 14 && y <= 16)
            row.replace(14, 3, y == 15 ? "#.#" : "###");
        map += row + "\n";
    }
    auto* grid = new NavigationGrid;
    LoadMap(*grid, map);
    gEntityManager.SetNavigationGrid(grid);
    auto c = Character(2, 2);
    c->InitPathfinder();

    c->TestReachability(Vector(8, 0, 3, 1), 400);
    ASSERT_EQ(c->GetPathState(), VerySimpleCharacterController::PATH_TESTING);
    ASSERT_GT(TickUntilIdle(*c), 0);
    EXPECT_TRUE(c->GetReachabilityTestResult());
    EXPECT_LT(c->GetReachablePoint().Distance(Vector(8, 0.5f, 3, 1)), 1.0f);
    EXPECT_EQ(c->GetReachablePoint().w, 1.0f);
    EXPECT_EQ(c->GetPathPoints().front().y, 0.5f) << "searched from the sphere's centre";
    // The test moved nothing.
    EXPECT_FLOAT_EQ(m_body->GetGlobalPosition().x, 2.0f);

    // A walled-in target answers true too, with the tile that came closest as the reachable point.
    c->TestReachability(Vector(15, 0, 15, 1), 400);
    ASSERT_GT(TickUntilIdle(*c), 0);
    EXPECT_TRUE(c->GetReachabilityTestResult());
    const Vector closest = c->GetReachablePoint();
    EXPECT_FLOAT_EQ(closest.Distance(Vector(15, 0, 15, 1)), 2.0f);
    // And it is walked to.
    c->MoveToLastReachablePoint();
    EXPECT_EQ(c->GetPathState(), VerySimpleCharacterController::PATH_FOLLOWING);
    ASSERT_GT(TickUntilIdle(*c), 0);
    EXPECT_LT(m_body->GetGlobalPosition().Distance(Vector(closest.x, 0, closest.z, 1)), 1.0f);

    // Only a search that cannot start answers false.
    c->TestReachability(Vector(500, 0, 500, 1), 400);
    EXPECT_TRUE(c->IsIdle());
    EXPECT_FALSE(c->GetReachabilityTestResult());
    c->MoveToLastReachablePoint();
    EXPECT_TRUE(c->IsIdle());

    // Walked from off a tile's centre, the walk heads for the path's first point, not past it.
    auto off = Character(2.3f, 2.6f);
    off->InitPathfinder();
    off->TestReachability(Vector(8, 0, 3, 1), 400);
    ASSERT_GT(TickUntilIdle(*off), 0);
    off->MoveToLastReachablePoint();
    Frame();
    off->Tick();
    const std::vector<PathPoint>& points = off->GetPathPoints();
    ASSERT_GE(points.size(), 3u);
    const Vector& way = off->GetLastPathSegmentDirection();
    EXPECT_NEAR(way.x * (points[1].z - points[0].z) - way.z * (points[1].x - points[0].x), 0.0f, 1e-3f);
}

using VerySimpleCharacterControllerTrajectoryTest = VerySimpleCharacterControllerTest;

// Every kind of move, each in a scene of its own, against its stored trajectory: the sphere's centre
// every fifth frame and, for path work, the smoothed path, the facing on the way and the answers.
TEST_F(VerySimpleCharacterControllerTrajectoryTest, EveryKindOfMoveFollowsItsStoredTrajectory)
{
    std::string text;
    const auto at = [](const Vector& p) { return QuantisedText(&p.x, 3); };
    const auto trace = [&](VerySimpleCharacterController& c, const Vector& velocity, int frames) {
        for (int i = 1; i <= frames; ++i)
        {
            Frame();
            c.Move(velocity);
            text += i % 5 == 0 ? "  at" + at(c.GetPosition()) + "\n" : "";
        }
    };
    const auto follow = [&](VerySimpleCharacterController& c) {
        text += "  path";
        for (int i = 0; i < 400 && !c.IsIdle(); ++i)
        {
            Frame();
            c.Tick();
            for (const PathPoint& point : i == 0 ? c.GetPathPoints() : std::vector<PathPoint>())
                text += at(Vector(point.x, point.y, point.z, 1.0f)) + " |";
            if (i % 5 == 0 || c.IsIdle())
                text += "\n  at" + at(c.GetPosition()) + " facing" + at(m_body->GetGlobalLocationMatrix().rows[2]);
        }
        text += "\n";
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"free move", [&] { trace(*Character(1, 2), Vector(2, 0, -1, 0), 10); }},
        {"slides along a wall", [&] {
             Ground();
             Block(Vector(2, 0, -50, 1), Vector(3, 3, 50, 1));
             trace(*Character(0, 0), Vector(1, 0, 1, 0), 30);
         }},
        {"steps up a low ledge, not a high one", [&] {
             Ground();
             Block(Vector(2, 0, -20, 1), Vector(6, 0.25f, -2, 1));
             Block(Vector(2, 0, 2, 1), Vector(6, 0.4f, 20, 1));
             for (const float z : {-5.0f, 5.0f})
             {
                 auto c = Character(0, z, 0.1f);
                 c->SetAutoStepHeight(0.3f);
                 trace(*c, Vector(1, 0, 0.1f, 0), 40);
             }
         }},
        {"walks off a block, pushed down onto the ground", [&] {
             Ground();
             Block(Vector(-2, 0, -2, 1), Vector(2, 1, 2, 1));
             auto c = Character(0, 0);
             c->SetPosition(Vector(0, 1, 0, 1));
             trace(*c, Vector(1.5f, 0, 0.5f, 0), 20);
             trace(*c, Vector(0.5f, -3, 0, 0), 15);
         }},
        {"mirrored box after a push out of a sphere", [&] {
             Ground();
             Block(Vector(2, 0, -50, 1), Vector(3, 3, 50, 1), true);
             auto c = Character(0, 0);
             Frame();
             c->MoveAwayFromMySphere(Vector(0, 0.5f, 0.2f, 1), Vector(1, 0, 0.5f, 0), 0.8f, nullptr);
             trace(*c, Vector(1, 0, -1, 0), 40);
         }},
        {"turned constraint box, frozen height", [&] {
             auto c = Character(0, 0);
             c->SetMoveConstraints(OBBox4{Vector(0, 1, 0, 1), {Vector(1.5f, 0, 1.5f, 0), Vector(0, 2, 0, 0),
                                                               Vector(-1.5f, 0, 1.5f, 0)}});
             c->FreezeYPosition(true);
             trace(*c, Vector(2, -1, 0.5f, 0), 30);
         }},
        {"path round a wall", [&] {
             WalledGrid();
             auto c = Character(2, 10);
             c->InitPathfinder();
             c->SetPathMovementVelocity(3.0f);
             c->MoveToPoint(Vector(17, 0, 12, 1), 400);
             follow(*c);
         }},
        {"the closest reachable point, walked to", [&] {
             WalledGrid();
             auto c = Character(2, 10);
             c->InitPathfinder();
             c->TestReachability(Vector(10, 0, 10, 1), 400);
             TickUntilIdle(*c);
             text += "  reached " + std::to_string(c->GetReachabilityTestResult()) + at(c->GetReachablePoint()) + "\n";
             c->MoveToLastReachablePoint();
             follow(*c);
         }},
    };
    for (const auto& [name, run] : cases)
    {
        text += std::string(name) + "\n";
        run();
        TearDown();
        SetUp();
    }
    ExpectTextMatchesStoredCopy(text, "tests/gameplay/navigation/golden/CharacterTrajectories.txt");
}

TEST(PathSmoothingTest, PointsBecomeTheWeightedMeanOfNeighboursThatDoNotTurnBack)
{
    std::vector<PathPoint> line = {{0, 0, 0, 10}, {1, 0, 0, 11}, {2, 0, 1, 12}, {3, 0, 0, 13}, {4, 0, 0, 14}};
    const std::vector<PathPoint> original = line;
    PathSmoothing::Smooth(line);
    auto w = [](int i) { return std::exp(-float(i * i) / (2.0f * 3.2f * 3.2f)); };
    // The middle point: both pairs take part; the common factor of the weights cancels.
    EXPECT_NEAR(line[2].z, w(0) / (w(0) + 2 * w(1) + 2 * w(2)), 1e-5f);
    EXPECT_NEAR(line[2].x, 2.0f, 1e-5f);
    EXPECT_NEAR(line[1].z, w(0) * 0 + w(1) * 1 / (w(0) + 2 * w(1)), 1e-5f);
    for (size_t i : {size_t(0), size_t(4)})
    {
        EXPECT_EQ(line[i].x, original[i].x);
        EXPECT_EQ(line[i].z, original[i].z);
    }
    for (size_t i = 0; i < line.size(); ++i)
        EXPECT_EQ(line[i].tile, original[i].tile);

    // A pair whose steps turn back is left out.
    std::vector<PathPoint> back = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0.1f, 0}};
    PathSmoothing::Smooth(back);
    EXPECT_FLOAT_EQ(back[1].x, 1.0f);
    // The limit lies between a quarter and a third of a step turned back.
    for (const auto& [afterX, kept] : {std::pair{0.75f, true}, std::pair{0.65f, false}})
    {
        std::vector<PathPoint> turn = {{0, 0, 0, 0}, {1, 0, 0, 0}, {afterX, 0, 0.5f, 0}};
        PathSmoothing::Smooth(turn);
        EXPECT_EQ(turn[1].x != 1.0f, kept) << afterX;
    }
    // Three points are smoothed too: the middle one takes its pair.
    std::vector<PathPoint> three = {{0, 0, 0, 0}, {1, 0, 1, 0}, {2, 0, 0, 0}};
    PathSmoothing::Smooth(three);
    EXPECT_NEAR(three[1].z, w(0) / (w(0) + 2 * w(1)), 1e-5f);
    std::vector<PathPoint> two = {{0, 0, 0, 0}, {1, 0, 5, 0}};
    PathSmoothing::Smooth(two);
    EXPECT_EQ(two[1].z, 5.0f);
}

namespace
{
class VerySimpleCharacterControllerScriptTest : public ScriptedSceneTest
{
};
} // namespace

TEST_F(VerySimpleCharacterControllerScriptTest, ScriptsMakeOneMoveItAndEndIt)
{
    Entity* body = Create(nullptr, Translation(1, 0, 1));
    body->SetName("Walker");
    ASSERT_TRUE(gLua.LoadAndCall(R"(
        local walker = gEntityManager:FindEntityByName("Walker")
        gWalker = VerySimpleCharacterController:Instance(walker, 0.5)
        gWalker:SetPosition(Vector(4, 0, 3, 1))
        local p = gWalker:GetPosition()
        gWalkerY = p.y
        gWalkerIdle = gWalker:IsIdle()
        gWalker:delete()
    )",
                                 0));
    EXPECT_FLOAT_EQ(body->GetGlobalPosition().x, 4.0f);
    lua_State* state = gLua.GetState();
    lua_getglobal(state, "gWalkerY");
    EXPECT_FLOAT_EQ(float(lua_tonumber(state, -1)), 0.5f);
    lua_getglobal(state, "gWalkerIdle");
    EXPECT_TRUE(lua_toboolean(state, -1));
    lua_pop(state, 2);
}
