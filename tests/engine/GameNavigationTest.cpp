#include "engine/Game.h"

#include "support/ManualClockGameTest.h"
#include "support/NavigationTestSupport.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using GameNavigationTest = ManualClockGameTest<SceneTest>;

TEST_F(GameNavigationTest, AFrameReentersTheDynamicMeshesOfADirtyGrid)
{
    auto* grid = new NavigationGrid;
    ASSERT_NO_FATAL_FAILURE(LoadMap(*grid, "....\n....\n"));
    gEntityManager.SetNavigationGrid(grid);
    Entity* mesh = Create(nullptr, Translation(0, 0, 0)); // a box of half-size 1: tiles 0 and 1
    grid->AddDynamicCollisionMesh(mesh);
    Frame();
    EXPECT_FALSE(grid->IsDirty());
    EXPECT_EQ(grid->GetCell(1, 1), 3);
    EXPECT_EQ(grid->GetCell(2, 0), 1);
    // A clean grid is left alone, even when a mesh moved.
    mesh->SetGlobalPosition(Vector(3, 0, 0, 1));
    Frame();
    EXPECT_EQ(grid->GetCell(1, 1), 3);
    grid->SetDirty();
    Frame();
    EXPECT_EQ(grid->GetCell(1, 1), 1);
    EXPECT_EQ(grid->GetCell(2, 1), 3);
}
} // namespace
