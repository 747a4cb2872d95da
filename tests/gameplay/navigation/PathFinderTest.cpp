#include "gameplay/navigation/PathFinder.h"

#include "support/ConsoleCapture.h"
#include "support/NavigationTestSupport.h"

#include <cfloat>
#include <cmath>
#include <queue>
#include <random>

namespace
{
constexpr int kDx[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
constexpr int kDy[8] = {-1, 0, 1, -1, 1, -1, 0, 1};

// Plain Dijkstra over the passable tiles, with the same step costs; FLT_MAX where unreachable.
std::vector<double> Dijkstra(const NavigationGrid& grid, uint32_t source)
{
    const int w = int(grid.GetWidth());
    const int h = int(grid.GetHeight());
    std::vector<double> cost(size_t(w) * size_t(h), DBL_MAX);
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    const int start = int(NavigationGrid::TileY(source)) * w + int(NavigationGrid::TileX(source));
    cost[size_t(start)] = 0.0;
    queue.push({0.0, start});
    while (!queue.empty())
    {
        const auto [c, at] = queue.top();
        queue.pop();
        if (c > cost[size_t(at)])
            continue;
        for (int s = 0; s < 8; ++s)
        {
            const int x = at % w + kDx[s];
            const int y = at / w + kDy[s];
            if (x < 0 || y < 0 || x >= w || y >= h || !grid.IsPassable(x, y))
                continue;
            const double next = c + (kDx[s] != 0 && kDy[s] != 0 ? 1.41421 : 1.0) * grid.GetCellSize();
            if (next < cost[size_t(y * w + x)])
            {
                cost[size_t(y * w + x)] = next;
                queue.push({next, y * w + x});
            }
        }
    }
    return cost;
}

// Checks that the path is made of neighbouring passable tiles from the source point to the
// destination tile's centre, and returns its cost.
double CheckedPathCost(const NavigationGrid& grid, const std::vector<PathPoint>& path, const Vector& source,
                       uint32_t sourceTile, uint32_t destinationTile)
{
    EXPECT_FALSE(path.empty());
    if (path.empty())
        return -1.0;
    EXPECT_EQ(path.front().x, source.x);
    EXPECT_EQ(path.front().z, source.z);
    EXPECT_EQ(path.front().tile, sourceTile);
    EXPECT_EQ(path.back().tile, destinationTile);
    double cost = 0.0;
    for (size_t i = 1; i < path.size(); ++i)
    {
        const Vector centre = grid.TileToWorld(path[i].tile);
        EXPECT_EQ(path[i].x, centre.x);
        EXPECT_EQ(path[i].z, centre.z);
        const int x = int(NavigationGrid::TileX(path[i].tile));
        const int y = int(NavigationGrid::TileY(path[i].tile));
        const int dx = x - int(NavigationGrid::TileX(path[i - 1].tile));
        const int dy = y - int(NavigationGrid::TileY(path[i - 1].tile));
        EXPECT_TRUE(grid.IsPassable(x, y));
        EXPECT_TRUE(std::abs(dx) <= 1 && std::abs(dy) <= 1 && (dx != 0 || dy != 0)) << "step " << i;
        cost += (dx != 0 && dy != 0 ? 1.41421 : 1.0) * grid.GetCellSize();
    }
    return cost;
}

// Runs a prepared search to its end in slices of `budget`; the number of calls.
int RunSearch(PathFinder& finder, uint32_t budget)
{
    int calls = 1;
    while (finder.AStarSearch(budget) == 1)
        ++calls;
    return calls;
}

// A random grid with the given share of blocked tiles (borders included).
void RandomGrid(NavigationGrid& grid, std::mt19937& random, uint32_t width, uint32_t height, double blocked,
                float tileSize, const Vector& origin)
{
    std::bernoulli_distribution isBlocked(blocked);
    std::vector<uint8_t> tiles(size_t(width) * height);
    for (uint8_t& tile : tiles)
        tile = isBlocked(random) ? (random() % 2 != 0 ? 3 : 0) : 1;
    const std::vector<uint8_t> block = NavigationGridBlock(width, height, origin, tileSize, tiles);
    ASSERT_EQ(grid.Load(block.data(), block.size(), true), block.size());
}

uint32_t RandomPassableTile(const NavigationGrid& grid, std::mt19937& random)
{
    for (;;)
    {
        const uint32_t x = uint32_t(random() % grid.GetWidth());
        const uint32_t y = uint32_t(random() % grid.GetHeight());
        if (grid.IsPassable(int(x), int(y)))
            return NavigationGrid::PackTile(x, y);
    }
}

class PathFinderTest : public ::testing::Test
{
protected:
    ConsoleCapture m_log;
    NavigationGrid m_grid;
    PathFinder m_finder;
    std::vector<PathPoint> m_path;
};

TEST_F(PathFinderTest, PathsOnRandomGridsAreAsShortAsDijkstraFinds)
{
    std::mt19937 random(2024);
    int reached = 0;
    for (int round = 0; round < 2200; ++round)
    {
        const uint32_t width = 2 + uint32_t(random() % 40);
        const uint32_t height = 2 + uint32_t(random() % 40);
        const float tileSize = round % 3 == 0 ? 2.5f : 1.0f;
        const Vector origin(float(round % 7) - 3.0f, 0.5f, -float(round % 5), 1.0f);
        ASSERT_NO_FATAL_FAILURE(RandomGrid(m_grid, random, width, height, 0.35, tileSize, origin));
        bool any = false;
        for (uint32_t i = 0; i < width * height && !any; ++i)
            any = m_grid.IsPassable(int(i % width), int(i / width));
        if (!any)
            continue;
        const uint32_t source = RandomPassableTile(m_grid, random);
        const uint32_t destination = RandomPassableTile(m_grid, random);
        const Vector from = m_grid.TileToWorld(source);
        Vector to = m_grid.TileToWorld(destination);
        to.x += tileSize * 0.3f;
        ASSERT_TRUE(m_finder.FindPath(&m_grid, from, to, round % 2 != 0 ? PathFinder::kExactDestination : 0, FLT_MAX));
        RunSearch(m_finder, PathFinder::kFrameBudget);
        const std::vector<double> cost = Dijkstra(m_grid, source);
        const double expected = cost[size_t(NavigationGrid::TileY(destination)) * width + NavigationGrid::TileX(destination)];
        if (expected == DBL_MAX)
        {
            // Unreachable: the tile that came closest, or nothing with the exact flag.
            if (round % 2 != 0)
            {
                EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::kNoTile) << round;
                EXPECT_FALSE(m_finder.BuildPath(m_path));
                EXPECT_TRUE(m_path.empty());
            }
            else
            {
                EXPECT_EQ(m_finder.GetDestinationTile(), m_finder.GetClosestTile()) << round;
                EXPECT_NE(m_finder.GetDestinationTile(), destination) << round;
                EXPECT_TRUE(m_finder.BuildPath(m_path));
            }
            continue;
        }
        ++reached;
        // Under the cap nothing was dropped: every push was popped or is still open.
        size_t closed = 0;
        for (uint32_t i = 0; i < width * height; ++i)
            closed += (m_finder.GetTileState(i % width, i / width) & PathFinder::kClosed) != 0 &&
                      m_grid.IsPassable(int(i % width), int(i / width));
        ASSERT_EQ(m_finder.GetPushes(), closed + m_finder.GetOpenCount()) << round;
        ASSERT_EQ(m_finder.GetDestinationTile(), destination) << round;
        ASSERT_TRUE(m_finder.BuildPath(m_path));
        EXPECT_NEAR(CheckedPathCost(m_grid, m_path, from, source, destination), expected, 1e-3) << "round " << round;
    }
    EXPECT_GT(reached, 120);
    EXPECT_TRUE(m_log.Messages().empty());
}

TEST_F(PathFinderTest, TheOpenListStopsAt1022EntriesByDroppingItsLastOne)
{
    // A corridor three tiles wide towards a destination on its middle row: each middle tile popped
    // pushes the three tiles ahead, the middle one with the smallest f, so the list grows by two a
    // pop until the cap. The side tiles ahead have the largest f and stay where they are pushed.
    std::string map = std::string(522, '#') + "\n";
    map += "#" + std::string(520, '.') + "#\n";
    map += std::string(521, '.') + "#\n";
    map += "#" + std::string(520, '.') + "#\n";
    map += std::string(522, '#') + "\n";
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, map));
    const auto tile = [this](uint32_t x, uint32_t y) { return m_finder.GetTileState(x, y); };
    const auto openTiles = [this] {
        size_t count = 0;
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 522; ++x)
                count += (m_finder.GetTileState(x, y) & PathFinder::kOpen) != 0;
        return count;
    };
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 2, 1), Vector(520, 0, 2, 1), PathFinder::kExactDestination,
                                  FLT_MAX));
    // The 511th pop's third push brings the list to 1023: its last entry, the tile just pushed
    // below the route, is dropped and is neither open nor closed.
    EXPECT_EQ(m_finder.AStarSearch(510), 1);
    EXPECT_EQ(m_finder.GetPushes(), 1534u);
    EXPECT_EQ(m_finder.GetOpenCount(), 1022u);
    EXPECT_EQ(openTiles(), 1022u);
    EXPECT_EQ(tile(511, 3) & (PathFinder::kOpen | PathFinder::kClosed), 0);
    EXPECT_NE(tile(511, 1) & PathFinder::kOpen, 0);
    EXPECT_EQ(tile(511, 2) & PathFinder::kOpen, PathFinder::kOpen);
    EXPECT_EQ(tile(511, 2) >> PathFinder::kHeapShift, 0) << "the middle tile is the heap's root";
    // The next pop pushes the dropped tile again; of the three pushes after it, the two side tiles
    // are dropped as they are pushed, and the middle one moves up from the last place, so the entry
    // it displaces goes instead.
    EXPECT_EQ(m_finder.AStarSearch(0), 1);
    EXPECT_EQ(m_finder.GetPushes(), 1538u);
    EXPECT_EQ(m_finder.GetOpenCount(), 1022u);
    EXPECT_EQ(openTiles(), 1022u);
    EXPECT_NE(tile(511, 3) & PathFinder::kOpen, 0);
    EXPECT_EQ(tile(512, 1) & PathFinder::kOpen, 0);
    EXPECT_EQ(tile(512, 3) & PathFinder::kOpen, 0);
    EXPECT_EQ(tile(512, 2) >> PathFinder::kHeapShift, 0);
    // Entries are lost, never the route: the walk back along the middle row is whole.
    size_t largest = 0;
    while (m_finder.AStarSearch(0) == 1)
        largest = std::max(largest, m_finder.GetOpenCount());
    EXPECT_EQ(largest, 1022u);
    ASSERT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(520, 2));
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    EXPECT_EQ(m_path.size(), 521u);
    EXPECT_NEAR(CheckedPathCost(m_grid, m_path, Vector(0, 0, 2, 1), NavigationGrid::PackTile(0, 2),
                                NavigationGrid::PackTile(520, 2)),
                520.0, 1e-3);
}

TEST_F(PathFinderTest, OneBigSliceAndManySmallSlicesGiveTheSamePath)
{
    std::mt19937 random(99);
    ASSERT_NO_FATAL_FAILURE(RandomGrid(m_grid, random, 40, 30, 0.3, 1.5f, Vector(-20, 0, 7, 1)));
    for (int round = 0; round < 10; ++round)
    {
        const Vector from = m_grid.TileToWorld(RandomPassableTile(m_grid, random));
        const Vector to = m_grid.TileToWorld(RandomPassableTile(m_grid, random));
        ASSERT_TRUE(m_finder.FindPath(&m_grid, from, to, 0, FLT_MAX));
        EXPECT_EQ(RunSearch(m_finder, 1000000), 1);
        std::vector<PathPoint> whole;
        ASSERT_TRUE(m_finder.BuildPath(whole));
        const uint32_t pushes = m_finder.GetPushes();
        for (uint32_t budget : {0u, 1u, 6u, 63u})
        {
            ASSERT_TRUE(m_finder.FindPath(&m_grid, from, to, 0, FLT_MAX));
            const int calls = RunSearch(m_finder, budget);
            ASSERT_TRUE(m_finder.BuildPath(m_path));
            ASSERT_EQ(m_path.size(), whole.size()) << budget;
            for (size_t i = 0; i < whole.size(); ++i)
                EXPECT_EQ(std::memcmp(&m_path[i], &whole[i], sizeof(PathPoint)), 0) << budget << " point " << i;
            EXPECT_EQ(m_finder.GetPushes(), pushes);
            if (budget == 0)
            {
                EXPECT_GE(calls, int(whole.size()) - 1);
            }
        }
        // A finished search stays finished.
        EXPECT_EQ(m_finder.AStarSearch(100), 0);
        EXPECT_EQ(m_finder.GetPushes(), pushes);
        ASSERT_TRUE(m_finder.BuildPath(m_path));
        EXPECT_EQ(m_path.size(), whole.size());
    }
}

TEST_F(PathFinderTest, EachSliceTakesAtMostBudgetPlusOneTiles)
{
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "..........\n"
                                            "..........\n"
                                            "..######..\n"
                                            "..........\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(9, 0, 3, 1), 0, FLT_MAX));
    const auto closed = [this] {
        int count = 0;
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 10; ++x)
                count += (m_finder.GetTileState(x, y) & PathFinder::kClosed) != 0 && m_grid.IsPassable(int(x), int(y));
        return count;
    };
    EXPECT_EQ(closed(), 0);
    EXPECT_EQ(m_finder.AStarSearch(2), 1);
    EXPECT_EQ(closed(), 3);
    EXPECT_EQ(m_finder.AStarSearch(0), 1);
    EXPECT_EQ(closed(), 4);
    EXPECT_EQ(RunSearch(m_finder, 0) > 1, true);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(9, 3));
}

TEST_F(PathFinderTest, AnOpenBorderNeverLeadsTheSearchOutsideTheGrid)
{
    // Every tile passable, borders included: the expansion must treat the outside as blocked.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "...\n...\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(2, 0, 1, 1), 0, FLT_MAX));
    RunSearch(m_finder, 100);
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    ASSERT_EQ(m_path.size(), 3u);
    EXPECT_EQ(m_path[2].tile, NavigationGrid::PackTile(2, 1));
    // Fenced in by the grid's edge: the closest tile is the nearest corner.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "..#.\n..#.\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(3, 0, 1, 1), 0, FLT_MAX));
    RunSearch(m_finder, 100);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(1, 1));
    EXPECT_EQ(m_finder.GetPushes(), 4u);
    // Of two tiles equally near, the one taken first stays the closest.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(3, 0, 0.5f, 1), 0, FLT_MAX));
    RunSearch(m_finder, 100);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(1, 0));
    // The source is weighed at its own distance: from the far corner, the tile nearest the goal wins.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "..#.\n..#.\n..#.\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 2, 1), Vector(3, 0, 0, 1), 0, FLT_MAX));
    RunSearch(m_finder, 100);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(1, 0));
}

TEST_F(PathFinderTest, TheSourceSnapsToTheNearestPassableTileWithinFiveTiles)
{
    std::string map;
    for (int y = 0; y < 13; ++y)
        map += std::string(20, '#') + "\n";
    map[size_t(6 * 21 + 16)] = '.'; // (16, 6)
    map[size_t(12 * 21 + 3)] = '.'; // (3, 12)
    map[size_t(1 * 21 + 3)] = '.';  // (3, 1)
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, map));
    // From (11, 6) the tile five to the right is in reach.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(11, 0, 6, 1), Vector(16, 0, 6, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(16, 6));
    // From (10, 6) it is six away.
    EXPECT_FALSE(m_finder.FindPath(&m_grid, Vector(10, 0, 6, 1), Vector(16, 0, 6, 1), 0, FLT_MAX));
    EXPECT_TRUE(m_log.Contains("Cannot find path. Source tile cannot be found at position 10.000000,0.000000,6.000000",
                               CONSOLE_ERROR));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::kNoTile);
    EXPECT_FALSE(m_finder.BuildPath(m_path));
    // (3, 6.4) lies on tile row 6, five rows from (3, 1); (3, 6.6) on row 7, five from (3, 12).
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(3, 0, 6.4f, 1), Vector(16, 0, 6, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(3, 1));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(3, 0, 6.6f, 1), Vector(16, 0, 6, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(3, 12));
    // Of two tiles equally near, the first in row-by-row order wins.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "#####\n#.#.#\n#####\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(2, 0, 1, 1), Vector(3, 0, 1, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(1, 1));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(2.01f, 0, 1, 1), Vector(3, 0, 1, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(3, 1));
    // Above the grid's plane the nearest tile is the same.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(1.99f, 8, 1, 1), Vector(3, 0, 1, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(1, 1));
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, map));
    // Outside the grid there is no source at all, even next to a passable tile.
    EXPECT_FALSE(m_finder.FindPath(&m_grid, Vector(3, 0, -1.6f, 1), Vector(16, 0, 6, 1), 0, FLT_MAX));
    // The search starts from the snapped tile, but the path from the given point.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(3.2f, 0.5f, 4, 1), Vector(3, 0, 1, 1), 0, FLT_MAX));
    RunSearch(m_finder, 10);
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    ASSERT_EQ(m_path.size(), 1u);
    EXPECT_EQ(m_path[0].x, 3.2f);
    EXPECT_EQ(m_path[0].y, 0.5f);
    EXPECT_EQ(m_path[0].tile, NavigationGrid::PackTile(3, 1));
}

TEST_F(PathFinderTest, ABlockedDestinationEndsAtTheNearestTileAroundItsArea)
{
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "~~~~~~~~~~~~\n"
                                            "~..........~\n"
                                            "~...####...~\n"
                                            "~...#####..~\n"
                                            "~...####...~\n"
                                            "~..........~\n"
                                            "~~~~~~~~~~~~\n"));
    // The destination (8.4, 3) is inside the area; of the tiles around it (9, 3) is the nearest,
    // though the search reaches the area's left side first.
    const Vector to(8.4f, 0, 3, 1);
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(1, 0, 3, 1), to, 0, FLT_MAX));
    int goals = 0;
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 12; ++x)
            goals += (m_finder.GetTileState(x, y) & PathFinder::kGoal) != 0;
    EXPECT_EQ(goals, 20);
    EXPECT_NE(m_finder.GetTileState(3, 3) & PathFinder::kGoal, 0);
    EXPECT_EQ(m_finder.GetTileState(1, 3) & PathFinder::kGoal, 0);
    RunSearch(m_finder, 2048);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(9, 3));
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    EXPECT_EQ(m_path.back().x, 9.0f);

    // With the exact flag the blocked destination is refused.
    m_log.Clear();
    EXPECT_FALSE(m_finder.FindPath(&m_grid, Vector(1, 0, 3, 1), to, PathFinder::kExactDestination, FLT_MAX));
    EXPECT_TRUE(m_log.Contains("Cannot find path. Destination tile cannot be found at position 8.400000,0.000000,"
                               "3.000000",
                               CONSOLE_ERROR));
    // Outside the grid there is no destination either.
    EXPECT_FALSE(m_finder.FindPath(&m_grid, Vector(1, 0, 3, 1), Vector(30, 0, 3, 1), 0, FLT_MAX));
}

TEST_F(PathFinderTest, TheGoalFloodNeverTouchesTheBorderRowsAndColumns)
{
    // The blocked area reaches the bottom row and the second column; the passable border tiles
    // beside it are no goals, and a destination on the border itself finds only inner tiles.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "........\n"
                                            "........\n"
                                            ".####...\n"
                                            "...##...\n"
                                            "..####..\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(3.5f, 0, 4, 1), 0, FLT_MAX));
    for (uint32_t x = 0; x < 8; ++x)
    {
        EXPECT_EQ(m_finder.GetTileState(x, 4) & PathFinder::kGoal, 0) << x;
        EXPECT_EQ(m_finder.GetTileState(x, 0) & PathFinder::kGoal, 0) << x;
    }
    for (uint32_t y = 0; y < 5; ++y)
        EXPECT_EQ(m_finder.GetTileState(0, y) & PathFinder::kGoal, 0) << y;
    EXPECT_NE(m_finder.GetTileState(2, 3) & PathFinder::kGoal, 0);
    EXPECT_NE(m_finder.GetTileState(5, 1) & PathFinder::kGoal, 0);
    RunSearch(m_finder, 2048);
    const uint32_t end = m_finder.GetDestinationTile();
    EXPECT_TRUE(NavigationGrid::TileY(end) >= 1 && NavigationGrid::TileY(end) <= 3) << end;
    // A grid two rows high has no inner tiles, so a blocked destination has no goal.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "#.......\n........\n"));
    EXPECT_FALSE(m_finder.FindPath(&m_grid, Vector(4, 0, 1, 1), Vector(0, 0, 0, 1), 0, FLT_MAX));
    EXPECT_TRUE(m_log.Contains("Destination tile cannot be found", CONSOLE_ERROR));
}

TEST_F(PathFinderTest, ACostLimitOfZeroNeverExpandsTheSource)
{
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, ".....\n.....\n.....\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 1, 1), Vector(4, 0, 1, 1), 0, 0.0f));
    EXPECT_EQ(RunSearch(m_finder, 2048), 1);
    EXPECT_EQ(m_finder.GetPushes(), 1u);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(0, 1));
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    EXPECT_EQ(m_path.size(), 1u);
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 1, 1), Vector(4, 0, 1, 1), PathFinder::kExactDestination, 0.0f));
    RunSearch(m_finder, 2048);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::kNoTile);
    EXPECT_FALSE(m_finder.BuildPath(m_path));
    // The source tile as the goal is found without expanding anything.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 1, 1), Vector(0.2f, 0, 1, 1), PathFinder::kExactDestination, 0.0f));
    RunSearch(m_finder, 2048);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(0, 1));
    // A limit stops the expansion of tiles whose cost reached it: three steps at most.
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 1, 1), Vector(4, 0, 1, 1), 0, 3.0f));
    RunSearch(m_finder, 2048);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(3, 1));
    // A diagonal step costs less than the limit just above it: from the centre, each diagonal
    // neighbour is expanded and the tile two diagonal steps away is reached.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, ".....\n.....\n.....\n.....\n.....\n"));
    for (const auto& [dx, dy] : {std::pair{-2, -2}, {2, -2}, {-2, 2}, {2, 2}})
    {
        ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(2, 0, 2, 1), Vector(float(2 + dx), 0, float(2 + dy), 1),
                                      PathFinder::kExactDestination, 1.42f));
        RunSearch(m_finder, 2048);
        EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(uint32_t(2 + dx), uint32_t(2 + dy)))
            << dx << dy;
    }
}

TEST_F(PathFinderTest, SlightlyNegativeCoordinatesAndANullGrid)
{
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, "...\n...\n", 2.0f, Vector(-1, 0, -1, 1)));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(-3.9f, 0, -3.5f, 1), Vector(3.1f, 0, 1.2f, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.GetSourceTile(), NavigationGrid::PackTile(0, 0));
    RunSearch(m_finder, 10);
    EXPECT_EQ(m_finder.GetDestinationTile(), NavigationGrid::PackTile(2, 1));
    EXPECT_FALSE(m_finder.FindPath(nullptr, Vector(0, 0, 0, 1), Vector(1, 0, 1, 1), 0, FLT_MAX));
    EXPECT_EQ(m_finder.AStarSearch(10), 0);
    // A finder reused on a larger grid resizes its tile states.
    ASSERT_NO_FATAL_FAILURE(LoadMap(m_grid, std::string(50, '.') + "\n" + std::string(50, '.') + "\n"));
    ASSERT_TRUE(m_finder.FindPath(&m_grid, Vector(0, 0, 0, 1), Vector(49, 0, 1, 1), 0, FLT_MAX));
    RunSearch(m_finder, 2048);
    ASSERT_TRUE(m_finder.BuildPath(m_path));
    EXPECT_EQ(m_path.size(), 50u);
}
} // namespace
