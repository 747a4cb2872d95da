// Mesh entities answering segment tests: the collision type each query kind asks for, the LOS mask
// and the disabled-LOS flag, box hits, triangle hits in world space (normals under non-uniform
// scale) and skinned meshes picked in their pose.
#include "core/memory/FrameRingAllocator.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshPickingFixtures.h"
#include "renderer/RenderCommands.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"

#include <cmath>

namespace
{
class MeshEntityRayPickTest : public SceneTest
{
protected:
    MeshEntity* Create(std::unique_ptr<MeshTemplate> meshTemplate, const Matrix& world = Matrix::ONE)
    {
        m_meshes.push_back(std::move(meshTemplate));
        return static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_meshes.back().get(), nullptr, world, 0, nullptr));
    }
    // The flat square at height 0 as one part.
    static std::unique_ptr<MeshTemplate> Square(const char* rough, const char* exact = "0", const char* player = "0")
    {
        auto meshTemplate = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}}));
        EXPECT_TRUE(SetProperty(*meshTemplate, "Rough LOS collision type", rough));
        EXPECT_TRUE(SetProperty(*meshTemplate, "Exact LOS collision type", exact));
        EXPECT_TRUE(SetProperty(*meshTemplate, "Player collision type", player));
        return meshTemplate;
    }
    bool Pick(Entity* entity, const Vector& start, const Vector& end, uint32_t flags = 0, uint32_t mask = 0)
    {
        m_result = LOSResult();
        return !entity->RayPick(start, end, flags, mask, m_result);
    }

    std::vector<std::unique_ptr<MeshTemplate>> m_meshes;
    LOSResult m_result;
};

constexpr uint32_t kFace = MeshTemplate::COLLISION_FACE;
} // namespace

TEST_F(MeshEntityRayPickTest, EachQueryKindAsksItsOwnCollisionType)
{
    MeshEntity* rough = Create(Square("2"));
    MeshEntity* exact = Create(Square("0", "2"));
    MeshEntity* player = Create(Square("0", "0", "2"));
    const Vector below(0.5f, -3, 0.25f, 1), above(0.5f, 3, 0.25f, 1);
    EXPECT_TRUE(Pick(rough, below, above));
    EXPECT_FALSE(Pick(rough, below, above, PICK_EXACT_LOS));
    EXPECT_FALSE(Pick(exact, below, above));
    EXPECT_TRUE(Pick(exact, below, above, PICK_EXACT_LOS));
    EXPECT_FALSE(Pick(exact, below, above, PICK_PLAYER_COLLISION | PICK_EXACT_LOS));
    EXPECT_TRUE(Pick(player, below, above, PICK_PLAYER_COLLISION));
    EXPECT_TRUE(Pick(player, below, above, PICK_PLAYER_COLLISION | PICK_EXACT_LOS));
    EXPECT_EQ(m_result.entity, player);
    EXPECT_EQ(m_result.hit, 1u);
    // An entity of the base kind never reports a hit.
    Entity* plain = SceneTest::Create();
    EXPECT_FALSE(Pick(plain, below, above));

    // A mesh that stops players also shows its collision box, in green, before its own box.
    EXPECT_EQ(&player->GetLocalCollisionBoundingBox(), &player->GetMeshTemplate()->GetEffectiveCollisionBox());
    RenderStreamCapture capture;
    for (MeshEntity* mesh : {player, rough})
    {
        capture.Drain();
        mesh->DebugDrawBoundingBox(CenteredBox(0.5f), Vector(1, 0, 0, 0));
        capture.Take();
        ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
        if (mesh == player)
        {
            EXPECT_FLOAT_EQ(capture.Read<BoundingBox4>().max.x, player->GetLocalCollisionBoundingBox().max.x);
            capture.Skip(sizeof(Matrix));
            EXPECT_FLOAT_EQ(capture.Read<Vector>().y, 1.0f);
            ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
        }
        EXPECT_FLOAT_EQ(capture.Read<BoundingBox4>().max.x, 0.51f);
        capture.Skip(sizeof(Matrix) + sizeof(Vector));
        EXPECT_FALSE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    }
}

TEST_F(MeshEntityRayPickTest, TheLOSMaskAndTheDisabledFlagHideTheMesh)
{
    auto meshTemplate = Square("2");
    ASSERT_TRUE(SetProperty(*meshTemplate, "LOS mask", "6"));
    MeshEntity* mesh = Create(std::move(meshTemplate));
    const Vector below(0.5f, -3, 0.25f, 1), above(0.5f, 3, 0.25f, 1);
    EXPECT_TRUE(Pick(mesh, below, above, 0, 1));
    EXPECT_FALSE(Pick(mesh, below, above, 0, 4));
    mesh->RaiseFlag(ENTITYFLAG_DISABLE_LOS, false);
    EXPECT_TRUE(Pick(mesh, below, above, 0, 1));
    EXPECT_FALSE(Pick(mesh, below, above, PICK_SKIP_DISABLED_LOS, 1));
}

TEST_F(MeshEntityRayPickTest, BoxHitsGiveTheWorldEntryPointAndTheSegment)
{
    auto meshTemplate = Square("1", "0", "1");
    ASSERT_TRUE(SetProperty(*meshTemplate, "Collision box scale", "2 1 1 1"));
    meshTemplate->RecomputeCollisionBox();
    meshTemplate->SetStaticBoundingBox(CenteredBox(1.0f));
    MeshEntity* mesh = Create(std::move(meshTemplate), Translation(100, 0, 50));
    // The effective box spans x -2..2 around the entity.
    const Vector start(90, 0.5f, 50.5f, 1), end(110, 0.5f, 50.5f, 1);
    ASSERT_TRUE(Pick(mesh, start, end));
    EXPECT_NEAR(m_result.hitPoint.x, 98.0f, 1e-2f);
    EXPECT_NEAR(m_result.hitPoint.y, 0.5f, 1e-3f);
    EXPECT_NEAR(m_result.hitPoint.z, 50.5f, 1e-2f);
    EXPECT_EQ(m_result.hitPoint.w, 1.0f);
    EXPECT_EQ(m_result.direction.x, 20.0f);
    EXPECT_EQ(m_result.direction.w, 0.0f);
    EXPECT_EQ(m_result.entity, mesh);
    EXPECT_TRUE(Pick(mesh, start, end, PICK_PLAYER_COLLISION)) << "one query kind alone keeps the box";
    // The local bounding box (the template's static box) is narrower.
    ASSERT_TRUE(Pick(mesh, start, end, PICK_LOCAL_BOX));
    EXPECT_NEAR(m_result.hitPoint.x, 99.0f, 1e-2f);
    EXPECT_FALSE(Pick(mesh, Vector(90, 5, 50, 1), Vector(110, 5, 50, 1)));
    // Both query kinds together test a box type by its triangles: the square is at height 0.
    EXPECT_FALSE(Pick(mesh, start, end, PICK_EXACT_LOS | PICK_PLAYER_COLLISION));
    ASSERT_TRUE(Pick(mesh, Vector(100.5f, -1, 50.5f, 1), Vector(100.5f, 1, 50.5f, 1),
                     PICK_EXACT_LOS | PICK_PLAYER_COLLISION));
    EXPECT_NEAR(m_result.hitPoint.y, 0.0f, 1e-5f);
    EXPECT_EQ(m_result.direction.x, 0.0f);
}

TEST_F(MeshEntityRayPickTest, FaceHitsComeBackInWorldSpaceWithPerpendicularNormals)
{
    // One triangle in the plane x + z = 0, facing (1, 0, 1) locally.
    PickVertices v;
    v.Float(-1, -1, 1);
    v.Float(1, -1, -1);
    v.Float(0, 2, 0);
    auto meshTemplate = MakePickingTemplate(MakePickingData(1, 12, v, {0, 1, 2}, {{{0, 1}}}));
    ASSERT_TRUE(SetProperty(*meshTemplate, "Rough LOS collision type", "2"));
    Matrix world;
    world.LoadScale(Vector(2, 1, 1, 1));
    world.rows[3].Set(200, 10, 300, 1);
    MeshEntity* mesh = Create(std::move(meshTemplate), world);

    // World plane: x / 2 + z = 0 around the entity, so its normal leans (1, 0, 2).
    const Vector start(200 - 4, 10.5f, 300 - 4, 1), end(200 + 4, 10.5f, 300 + 4, 1);
    ASSERT_TRUE(Pick(mesh, start, end, PICK_TWO_SIDED));
    EXPECT_NEAR(m_result.hitPoint.x, 200.0f, 1e-4f);
    EXPECT_NEAR(m_result.hitPoint.y, 10.5f, 1e-4f);
    EXPECT_NEAR(m_result.hitPoint.z, 300.0f, 1e-4f);
    Vector normal = m_result.direction;
    EXPECT_EQ(normal.w, 0.0f);
    normal.Normalize();
    const float expected = 1.0f / std::sqrt(5.0f);
    EXPECT_NEAR(std::fabs(normal.x), expected, 1e-5f);
    EXPECT_NEAR(std::fabs(normal.z), 2.0f * expected, 1e-5f);
    EXPECT_NEAR(normal.y, 0.0f, 1e-5f);
    // Perpendicular to a world edge of the face.
    Vector edge(4.0f, 0.0f, -2.0f, 0.0f);
    EXPECT_NEAR(m_result.direction.Dot3(edge), 0.0f, 1e-4f);
    EXPECT_EQ(m_result.entity, mesh);
}

TEST_F(MeshEntityRayPickTest, SkinnedMeshesArePickedInTheirPose)
{
    gFrameRingAllocator.Init(1 << 16);
    // Every vertex follows bone "top", which rests one unit above the root.
    PickVertices v;
    const uint8_t top[8] = {1, 0, 0, 0, 255, 0, 0, 0};
    v.Float(-1, 0, -1, &top);
    v.Float(1, 0, -1, &top);
    v.Float(1, 0, 1, &top);
    v.Float(-1, 0, 1, &top);
    auto meshTemplate = MakePickingTemplate(MakePickingData(1 | 2, 20, v, kSquare, {{{0, 2}}}), {"root", "top"});
    ASSERT_TRUE(SetProperty(*meshTemplate, "Rough LOS collision type", "2"));
    MeshEntity* mesh = Create(std::move(meshTemplate), Translation(10, 0, 10));
    ASSERT_NE(mesh->GetAnimator(), nullptr);

    ASSERT_TRUE(Pick(mesh, Vector(10.5f, -3, 10.25f, 1), Vector(10.5f, 3, 10.25f, 1)));
    EXPECT_NEAR(m_result.hitPoint.y, 1.0f, 1e-5f);
    const float* skinned = mesh->GetAnimator()->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration());
    ASSERT_NE(skinned, nullptr);
    EXPECT_EQ(skinned[1], 1.0f);
    // Within the frame the positions are reused; a new pose skins again.
    ASSERT_TRUE(Pick(mesh, Vector(10.5f, 3, 10.25f, 1), Vector(10.5f, -3, 10.25f, 1), PICK_TWO_SIDED));
    EXPECT_EQ(mesh->GetAnimator()->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration()), skinned);
    mesh->GetAnimator()->InvalidatePose();
    mesh->Animate();
    EXPECT_EQ(mesh->GetAnimator()->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration()), nullptr);
    ASSERT_TRUE(Pick(mesh, Vector(10.5f, -3, 10.25f, 1), Vector(10.5f, 3, 10.25f, 1)));
    EXPECT_NE(mesh->GetAnimator()->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration()), nullptr);
    gFrameRingAllocator.NextGeneration();
    EXPECT_EQ(mesh->GetAnimator()->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration()), nullptr);
    ASSERT_TRUE(Pick(mesh, Vector(10.5f, -3, 10.25f, 1), Vector(10.5f, 3, 10.25f, 1)));
    EXPECT_NEAR(m_result.hitPoint.y, 1.0f, 1e-5f);
    gFrameRingAllocator.Release();
}
