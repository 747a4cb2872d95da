// Meshes whose template has "Dynamic player collision" block the navigation tiles under them: they
// register with the scene's grid when made and mark it for a rebuild when they move or die, so the
// next rebuild follows them. Other meshes never touch the grid. A mesh's world box, which the grid
// and the navigation read, holds its template's collision boxes.
#include "scene/kinds/MeshEntity.h"

#include "gameplay/navigation/NavigationGrid.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/NavigationTestSupport.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <memory>
#include <string>
#include <vector>

namespace
{
// A 10 x 10 open map of 10-unit tiles from the scene's origin.
std::string OpenMap()
{
    std::string map;
    for (int row = 0; row < 10; ++row)
        map += "..........\n";
    return map;
}

class MeshEntityNavigationTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        auto grid = std::make_unique<NavigationGrid>();
        LoadMap(*grid, OpenMap(), 10.0f);
        m_grid = grid.release();
        gEntityManager.SetNavigationGrid(m_grid);
    }
    void TearDown() override
    {
        SceneTest::TearDown();
        m_meshTemplates.clear();
    }
    MeshTemplate* MeshTemplateWithCollision(bool dynamic)
    {
        m_meshTemplates.push_back(MeshTemplateWriter::MakeTemplate(MeshTemplateSpec()));
        MeshTemplate* meshTemplate = m_meshTemplates.back().get();
        RTTIProperty* property =
            meshTemplate->GetClassProperties()->FindPropertyInClassChain("Dynamic player collision");
        EXPECT_TRUE(property->SetFromText(meshTemplate, dynamic ? "1" : "0"));
        meshTemplate->SetStaticBoundingBox(CenteredBox(2.0f));
        return meshTemplate;
    }
    MeshEntity* MeshAt(MeshTemplate* meshTemplate, float x, float z)
    {
        Matrix place = Matrix::ONE;
        place.rows[3] = Vector(x, 0.0f, z, 1.0f);
        auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(
            meshTemplate, nullptr, place, ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr));
        // What the in-game creation road runs once the entity is placed.
        mesh->PostCreateInit();
        return mesh;
    }
    // Rebuilds the way the game frame does: only when marked.
    bool RebuildIfDirty()
    {
        if (!m_grid->IsDirty())
            return false;
        m_grid->RebuildDynamicOccupancy();
        return true;
    }

    NavigationGrid* m_grid = nullptr;
    std::vector<std::unique_ptr<MeshTemplate>> m_meshTemplates;
};
} // namespace

TEST_F(MeshEntityNavigationTest, DynamicMeshesBlockTheirTilesAndTheGridFollowsTheirMovesAndDeath)
{
    MeshEntity* mesh = MeshAt(MeshTemplateWithCollision(true), 55.0f, 55.0f);
    ASSERT_TRUE(mesh->GetWorldBoundingBox().IsValid3());
    EXPECT_EQ(m_grid->GetDynamicCollisionMeshCount(), 1);
    ASSERT_TRUE(RebuildIfDirty()) << "a new dynamic mesh marks the grid";
    EXPECT_FALSE(m_grid->IsPassable(5, 5));
    EXPECT_TRUE(m_grid->IsPassable(1, 1));
    mesh->RaiseFlag(ENTITYFLAG_HOOKED_32, false);
    EXPECT_TRUE(RebuildIfDirty()) << "flag 32 changes what collides";
    mesh->ClearFlag(ENTITYFLAG_HOOKED_32, false);
    EXPECT_TRUE(RebuildIfDirty());

    mesh->SetLocalPosition(Vector(15.0f, 0.0f, 15.0f, 1.0f));
    ASSERT_TRUE(RebuildIfDirty()) << "a move marks the grid";
    EXPECT_TRUE(m_grid->IsPassable(5, 5));
    EXPECT_FALSE(m_grid->IsPassable(1, 1));

    gEntityManager.DeleteEntity(mesh);
    ASSERT_TRUE(RebuildIfDirty()) << "a death marks the grid";
    EXPECT_EQ(m_grid->GetDynamicCollisionMeshCount(), 0);
    EXPECT_TRUE(m_grid->IsPassable(1, 1));
}

TEST_F(MeshEntityNavigationTest, MeshesWithoutDynamicCollisionNeverTouchTheGrid)
{
    MeshEntity* mesh = MeshAt(MeshTemplateWithCollision(false), 55.0f, 55.0f);
    EXPECT_EQ(m_grid->GetDynamicCollisionMeshCount(), 0);
    EXPECT_FALSE(m_grid->IsDirty());
    mesh->SetLocalPosition(Vector(15.0f, 0.0f, 15.0f, 1.0f));
    gEntityManager.DeleteEntity(mesh);
    EXPECT_FALSE(m_grid->IsDirty());
    m_grid->RebuildDynamicOccupancy();
    EXPECT_TRUE(m_grid->IsPassable(5, 5));
}

TEST_F(MeshEntityNavigationTest, TheWorldBoxHoldsBothCollisionBoxesPlacedAndAnEmptyBoxStaysEmpty)
{
    MeshTemplate* meshTemplate = MeshTemplateWithCollision(false);
    meshTemplate->SetStaticBoundingBox(CenteredBox(0.5f));
    RTTIProperty* offset = meshTemplate->GetClassProperties()->FindPropertyInClassChain("Collision box offset");
    ASSERT_TRUE(offset->SetFromText(meshTemplate, "0 5 0 0"));
    meshTemplate->OnPropertyChanged(nullptr);
    // The effective box reaches y 4 to 6, the plain collision box y -1 to 1, the local box less.
    const BoundingBox4& box = MeshAt(meshTemplate, 55.0f, 35.0f)->GetWorldBoundingBox();
    const float corners[6] = {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z};
    const float expected[6] = {54.0f, -1.0f, 34.0f, 56.0f, 6.0f, 36.0f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(corners[i], expected[i]) << i;

    meshTemplate->SetStaticBoundingBox(BoundingBox4::INVALID);
    EXPECT_FALSE(MeshAt(meshTemplate, 55.0f, 35.0f)->GetWorldBoundingBox().IsValid3());
}
