// Text maps become navigation tiles, and scene-write puts them into a scene the engine loads.
#include "tools/datakit/NavigationMapText.h"

#include "gameplay/navigation/NavigationGrid.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/BinarySceneReader.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
TEST(NavigationMapTextTest, EachCharacterIsOneTileRowByRow)
{
    SceneNavigationGrid grid;
    grid.cellSize = 4.0f;
    std::string error;
    ASSERT_TRUE(NavigationMapText::Parse(".#~\r\n~..\n", grid, error)) << error;
    EXPECT_EQ(grid.width, 3u);
    EXPECT_EQ(grid.height, 2u);
    EXPECT_EQ(grid.cells, (std::vector<uint8_t>{1, 3, 0, 0, 1, 1}));
    EXPECT_EQ(grid.cellSize, 4.0f);
    ASSERT_TRUE(NavigationMapText::Parse("", grid, error));
    EXPECT_EQ(grid.width, 0u);
    EXPECT_EQ(grid.height, 0u);

    EXPECT_FALSE(NavigationMapText::Parse("..\n...\n", grid, error));
    EXPECT_EQ(error, "row 1 has 3 tiles, row 0 has 2");
    EXPECT_FALSE(NavigationMapText::Parse("..\n.x\n", grid, error));
    EXPECT_EQ(error, "unknown tile 'x' at column 1, row 1");
}

TEST(NavigationMapTextTest, SceneWriteTakesAGridMap)
{
    TempFolder folder;
    folder.WriteFile("map.txt", "~~~~\n~.#~\n~~~~\n");
    const std::string scene = folder / "Level.BinaryScene";
    ASSERT_EQ(RunDatakit({"scene-write", scene, "5A000000-0000-0000-0000-000000000002", "0", "--grid-map",
                          folder / "map.txt", "--spacing", "2.5"}),
              0);
    std::ifstream in(scene, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(100, 50, 100, 1)), 10.0f);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), BinarySceneReader::kApplyNavigationGrid,
                                                   0, 255));
    const NavigationGrid* grid = gEntityManager.GetNavigationGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->GetWidth(), 4u);
    EXPECT_EQ(grid->GetHeight(), 3u);
    EXPECT_EQ(grid->GetCellSize(), 2.5f);
    EXPECT_TRUE(grid->GetOrigin().Equal(Vector(0, 0, 0, 1)));
    EXPECT_TRUE(grid->IsPassable(1, 1));
    EXPECT_FALSE(grid->IsPassable(2, 1));
    EXPECT_FALSE(grid->IsPassable(0, 0));
    gEntityManager.DestroyScene();

    folder.WriteFile("bad.txt", "..\n.\n");
    EXPECT_NE(RunDatakit({"scene-write", folder / "b.BinaryScene", "5A000000-0000-0000-0000-000000000002", "0",
                          "--grid-map", folder / "bad.txt"}),
              0);
    EXPECT_NE(RunDatakit({"scene-write", folder / "c.BinaryScene", "5A000000-0000-0000-0000-000000000002", "0",
                          "--grid-map", folder / "missing.txt"}),
              0);
}
} // namespace
