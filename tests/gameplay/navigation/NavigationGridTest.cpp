#include "gameplay/navigation/NavigationGrid.h"

#include "scene/templates/BinarySceneReader.h"
#include "support/NavigationTestSupport.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <cstring>
#include <limits>

namespace
{
using NavigationGridTest = SceneTest;

TEST_F(NavigationGridTest, ABlockLoadsItsHeaderAndTilesAndReportsWhatItUsed)
{
    NavigationGrid grid;
    std::vector<uint8_t> block = NavigationGridBlock(3, 2, Vector(1, 2, 3, 1), 0.5f, {1, 2, 3, 4, 5, 6});
    block.push_back(0xEE); // bytes after the block belong to the caller
    ASSERT_EQ(grid.Load(block.data(), block.size(), true), 42u);
    EXPECT_EQ(grid.GetWidth(), 3u);
    EXPECT_EQ(grid.GetHeight(), 2u);
    EXPECT_TRUE(grid.GetOrigin().Equal(Vector(1, 2, 3, 1)));
    EXPECT_FLOAT_EQ(grid.GetCellSize(), 0.5f);
    EXPECT_EQ(grid.GetCells(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(grid.GetCell(2, 0), 3);
    EXPECT_EQ(grid.GetCell(0, 1), 4);

    // A block with no tiles is just its header.
    const std::vector<uint8_t> empty = NavigationGridBlock(0, 7, Vector(0, 0, 0, 1), 1.0f, {});
    EXPECT_EQ(grid.Load(empty.data(), empty.size(), true), 36u);
    EXPECT_EQ(grid.GetHeight(), 7u);
    EXPECT_TRUE(grid.GetCells().empty());
    EXPECT_EQ(grid.WorldToTile(Vector(0, 0, 0, 1)), NavigationGrid::kNoTile);

    grid.Clear();
    EXPECT_EQ(grid.GetWidth(), 0u);
    EXPECT_EQ(grid.GetHeight(), 0u);
    EXPECT_TRUE(grid.GetOrigin().Equal(Vector(0, 0, 0, 1)));
    EXPECT_EQ(grid.GetCellSize(), 0.0f);
}

TEST_F(NavigationGridTest, BadBlocksAreRefusedAndLeaveTheGridAsItWas)
{
    NavigationGrid grid;
    const std::vector<uint8_t> good = NavigationGridBlock(2, 2, Vector(0, 0, 0, 1), 1.0f, {1, 1, 1, 1});
    ASSERT_EQ(grid.Load(good.data(), good.size(), true), good.size());
    const auto unchanged = [&grid] {
        EXPECT_EQ(grid.GetWidth(), 2u);
        EXPECT_EQ(grid.GetCells(), (std::vector<uint8_t>{1, 1, 1, 1}));
    };

    const std::vector<uint8_t> wrongMagic = NavigationGridBlock(1, 1, Vector(0, 0, 0, 1), 1.0f, {1}, 0x12345678);
    EXPECT_EQ(grid.Load(wrongMagic.data(), wrongMagic.size(), true), 0u);
    EXPECT_TRUE(m_log.Contains("Navigation grid block has magic 12345678 version 1", CONSOLE_ERROR));
    unchanged();
    std::vector<uint8_t> wrongVersion = good;
    wrongVersion[4] = 2;
    EXPECT_EQ(grid.Load(wrongVersion.data(), wrongVersion.size(), true), 0u);
    unchanged();

    // Every cut of a block is refused, header or tiles.
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_EQ(grid.Load(good.data(), cut, true), 0u) << cut;
    EXPECT_EQ(grid.Load(nullptr, 100, true), 0u);
    unchanged();

    // 0x10000 x 0x10000 wraps to 0 in 32 bits; the product must be taken wider.
    const std::vector<uint8_t> wrapping = NavigationGridBlock(0x10000, 0x10000, Vector(0, 0, 0, 1), 1.0f, {1, 1});
    EXPECT_EQ(grid.Load(wrapping.data(), wrapping.size(), true), 0u);
    unchanged();
    // A side longer than a packed tile coordinate can hold.
    const std::vector<uint8_t> wide = NavigationGridBlock(0x10000, 1, Vector(0, 0, 0, 1), 1.0f,
                                                          std::vector<uint8_t>(0x10000, 1));
    m_log.Clear();
    EXPECT_EQ(grid.Load(wide.data(), wide.size(), true), 0u);
    EXPECT_TRUE(m_log.Contains("Navigation grid of 65536 x 1 tiles is too large", CONSOLE_ERROR));
    unchanged();
    // One tile narrower is the widest grid there is.
    const std::vector<uint8_t> widest = NavigationGridBlock(0xFFFF, 1, Vector(0, 0, 0, 1), 1.0f,
                                                            std::vector<uint8_t>(0xFFFF, 1));
    EXPECT_EQ(grid.Load(widest.data(), widest.size(), true), widest.size());
}

TEST_F(NavigationGridTest, ASceneFileLoadsItsGridWhateverTheBlocksMagicAndVersion)
{
    SceneFileContents contents;
    contents.hasGrid = true;
    contents.grid.width = 2;
    contents.grid.height = 1;
    contents.grid.cells = {1, 3};
    const std::vector<uint8_t> written = SceneWriter::BuildBinaryScene(contents);
    const size_t gridAt = written.size() - 4 - 2 - NavigationGrid::kHeaderSize;
    ASSERT_EQ(written[gridAt], 0x9C);
    // Offset and new value of one header byte: none of them keeps the grid out of the scene.
    const std::pair<size_t, uint8_t> rows[] = {{0, 0x9C}, {0, 0x9D}, {3, 0x00}, {4, 2}, {7, 0xFF}};
    for (const auto& [offset, value] : rows)
    {
        std::vector<uint8_t> bytes = written;
        bytes[gridAt + offset] = value;
        gEntityManager.NewScene();
        m_log.Clear();
        ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(),
                                                       BinarySceneReader::kApplyNavigationGrid, 0, 255));
        const NavigationGrid* grid = gEntityManager.GetNavigationGrid();
        ASSERT_NE(grid, nullptr) << offset << " " << int(value);
        EXPECT_EQ(grid->GetCells(), (std::vector<uint8_t>{1, 3})) << offset;
        EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u) << offset;
    }
}

TEST_F(NavigationGridTest, WorldPointsMapToTheTileWithTheNearestCentre)
{
    NavigationGrid grid;
    ASSERT_NO_FATAL_FAILURE(LoadMap(grid, "....\n....\n....\n", 2.0f, Vector(10, 5, 20, 1)));
    EXPECT_EQ(grid.WorldToTile(Vector(10, 0, 20, 1)), NavigationGrid::PackTile(0, 0));
    EXPECT_EQ(grid.WorldToTile(Vector(12.9f, 0, 20.9f, 1)), NavigationGrid::PackTile(1, 0));
    EXPECT_EQ(grid.WorldToTile(Vector(13.1f, 0, 21.1f, 1)), NavigationGrid::PackTile(2, 1));
    EXPECT_EQ(grid.WorldToTile(Vector(16.9f, 0, 24.9f, 1)), NavigationGrid::PackTile(3, 2));
    EXPECT_EQ(grid.WorldToTile(Vector(17.1f, 0, 20, 1)), NavigationGrid::kNoTile);
    EXPECT_EQ(grid.WorldToTile(Vector(10, 0, 25.1f, 1)), NavigationGrid::kNoTile);
    // Slightly below the origin (less than one tile and a half) still maps to tile 0.
    EXPECT_EQ(grid.WorldToTile(Vector(8.1f, 0, 18.1f, 1)), NavigationGrid::PackTile(0, 0));
    EXPECT_EQ(grid.WorldToTile(Vector(7.1f, 0, 20, 1)), NavigationGrid::PackTile(0, 0));
    EXPECT_EQ(grid.WorldToTile(Vector(7.0f, 0, 20, 1)), NavigationGrid::kNoTile) << "a tile and a half below is out";
    EXPECT_EQ(grid.WorldToTile(Vector(10, 0, 16.9f, 1)), NavigationGrid::kNoTile);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(grid.WorldToTile(Vector(nan, 0, 20, 1)), NavigationGrid::kNoTile);
    EXPECT_EQ(grid.WorldToTile(Vector(-3.0e38f, 0, 3.0e38f, 1)), NavigationGrid::kNoTile);

    const Vector centre = grid.TileToWorld(NavigationGrid::PackTile(3, 2));
    EXPECT_TRUE(centre.Equal(Vector(16, 5, 24, 1)));
    EXPECT_EQ(NavigationGrid::TileX(NavigationGrid::PackTile(65535, 7)), 65535u);
    EXPECT_EQ(NavigationGrid::TileY(NavigationGrid::PackTile(65535, 7)), 7u);

    // A grid without a tile size places nothing.
    NavigationGrid flat;
    const std::vector<uint8_t> block = NavigationGridBlock(2, 2, Vector(0, 0, 0, 1), 0.0f, {1, 1, 1, 1});
    ASSERT_EQ(flat.Load(block.data(), block.size(), true), block.size());
    EXPECT_EQ(flat.WorldToTile(Vector(0, 0, 0, 1)), NavigationGrid::kNoTile);
}

TEST_F(NavigationGridTest, OnlyWalkableUnblockedTilesInsideTheGridArePassable)
{
    NavigationGrid grid;
    const std::vector<uint8_t> block = NavigationGridBlock(5, 1, Vector(0, 0, 0, 1), 1.0f, {0, 1, 2, 3, 0xF9});
    ASSERT_EQ(grid.Load(block.data(), block.size(), true), block.size());
    EXPECT_FALSE(grid.IsPassable(0, 0));
    EXPECT_TRUE(grid.IsPassable(1, 0));
    EXPECT_FALSE(grid.IsPassable(2, 0));
    EXPECT_FALSE(grid.IsPassable(3, 0));
    EXPECT_TRUE(grid.IsPassable(4, 0)); // other bits are not read
    EXPECT_FALSE(grid.IsPassable(-1, 0));
    EXPECT_FALSE(grid.IsPassable(5, 0));
    EXPECT_FALSE(grid.IsPassable(1, 1));
    EXPECT_FALSE(grid.IsPassable(1, -1));
}

TEST_F(NavigationGridTest, DynamicMeshesBlockTheTilesUnderThemUntilTheyMoveOrDie)
{
    NavigationGrid grid;
    // Tile (x, y) is centred at (x, 0, y); the loaded '#' at (6, 1) stays blocked throughout.
    ASSERT_NO_FATAL_FAILURE(LoadMap(grid, "........\n......#.\n........\n........\n........\n"));
    EntityTemplate* shape = MakeTemplate(BoundingBox4(Vector(-0.6f, -1, -0.4f, 1), Vector(0.6f, 1, 0.4f, 1)));
    Entity* a = gEntityManager.CreateEntity(shape, nullptr, Translation(2, 0, 2), 0, nullptr);
    Entity* b = gEntityManager.CreateEntity(shape, nullptr, Translation(6, 0, 1), 0, nullptr);
    EXPECT_FALSE(grid.IsDirty());
    grid.AddDynamicCollisionMesh(a);
    grid.AddDynamicCollisionMesh(b);
    EXPECT_TRUE(grid.IsDirty());
    grid.RebuildDynamicOccupancy();
    EXPECT_FALSE(grid.IsDirty());
    const auto blocked = [&grid] {
        std::string text;
        for (uint32_t y = 0; y < grid.GetHeight(); ++y)
        {
            for (uint32_t x = 0; x < grid.GetWidth(); ++x)
                text += (grid.GetCell(x, y) & NavigationGrid::kTileBlocked) != 0 ? '#' : '.';
            text += '\n';
        }
        return text;
    };
    // x from 1.4 to 2.6 covers tiles 1 to 3 (squares 0.5..1.5, 1.5..2.5, 2.5..3.5); z 1.6 to 2.4
    // only tile 2.
    EXPECT_EQ(blocked(), "........\n.....###\n.###....\n........\n........\n");
    EXPECT_EQ(grid.GetCell(2, 2), 3); // the walkable bit stays

    b->SetGlobalPosition(Vector(6, 0, 3.5f, 1));
    a->DeleteMe();
    grid.RebuildDynamicOccupancy();
    EXPECT_EQ(grid.GetDynamicCollisionMeshCount(), 1);
    EXPECT_EQ(blocked(), "........\n......#.\n........\n.....###\n.....###\n");

    // A mesh off the grid blocks nothing; one over its edge blocks the edge tiles.
    b->SetGlobalPosition(Vector(-5, 0, 2, 1));
    grid.RebuildDynamicOccupancy();
    EXPECT_EQ(blocked(), "........\n......#.\n........\n........\n........\n");
    b->SetGlobalPosition(Vector(7.6f, 0, 4.6f, 1));
    grid.RebuildDynamicOccupancy();
    EXPECT_EQ(blocked(), "........\n......#.\n........\n........\n.......#\n");
    b->DeleteMe();
    grid.RebuildDynamicOccupancy();
    EXPECT_EQ(grid.GetDynamicCollisionMeshCount(), 0);
    grid.SetDirty();
    grid.Clear();
    EXPECT_EQ(grid.GetDynamicCollisionMeshCount(), 0);
    EXPECT_FALSE(grid.IsDirty()) << "a cleared grid has nothing to rebuild";
}
} // namespace
