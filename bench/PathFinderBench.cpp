// Path search: 64 source/destination pairs on a 256 x 256 navigation grid with 30 % of its tiles
// blocked at random, each searched to its end in one slice and its path built (PathFinder), whose
// open list keeps at most 1022 entries.
// Beside it, the reference: a plain A* with std::priority_queue (lazy deletion, the same step costs
// and heuristic) that also builds its path. Counters: "ratio" (the reference's time over ours:
// above 1 means ours is faster; the goal is at least 1.0), the median times of both sides in
// seconds, "paths_per_s" for ours and "capped", the pairs whose search dropped open entries.
#include "PairedRatio.h"

#include "gameplay/navigation/PathFinder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <queue>
#include <random>
#include <vector>

namespace
{
constexpr uint32_t kSide = 256;
constexpr int kPairs = 64;

// The plain A*: a binary heap of (f, tile) with stale entries skipped when popped.
class ReferenceAStar
{
public:
    explicit ReferenceAStar(const NavigationGrid& grid)
        : m_grid(grid), m_g(size_t(kSide) * kSide), m_parent(size_t(kSide) * kSide), m_closed(size_t(kSide) * kSide)
    {
    }

    // The path's tiles from the destination back to the source; empty when unreachable.
    void Search(uint32_t source, uint32_t destination, std::vector<uint32_t>& path)
    {
        static constexpr int dx[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
        static constexpr int dy[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
        static constexpr float cost[8] = {1.41421f, 1.0f, 1.41421f, 1.0f, 1.0f, 1.41421f, 1.0f, 1.41421f};
        std::fill(m_g.begin(), m_g.end(), FLT_MAX);
        std::fill(m_closed.begin(), m_closed.end(), uint8_t(0));
        path.clear();
        const Vector goal = m_grid.TileToWorld(destination);
        const auto heuristic = [&](uint32_t x, uint32_t y) {
            const Vector p = m_grid.TileToWorld(x, y);
            return std::sqrt((p.x - goal.x) * (p.x - goal.x) + (p.y - goal.y) * (p.y - goal.y) +
                             (p.z - goal.z) * (p.z - goal.z));
        };
        using Item = std::pair<float, uint32_t>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
        const uint32_t start = NavigationGrid::TileY(source) * kSide + NavigationGrid::TileX(source);
        const uint32_t end = NavigationGrid::TileY(destination) * kSide + NavigationGrid::TileX(destination);
        m_g[start] = 0.0f;
        open.push({heuristic(start % kSide, start / kSide), start});
        while (!open.empty())
        {
            const uint32_t at = open.top().second;
            open.pop();
            if (m_closed[at] != 0)
                continue;
            m_closed[at] = 1;
            if (at == end)
                break;
            for (int s = 0; s < 8; ++s)
            {
                const int x = int(at % kSide) + dx[s];
                const int y = int(at / kSide) + dy[s];
                if (!m_grid.IsPassable(x, y))
                    continue;
                const uint32_t next = uint32_t(y) * kSide + uint32_t(x);
                const float g = m_g[at] + cost[s] * m_grid.GetCellSize();
                if (m_closed[next] != 0 || !(g < m_g[next]))
                    continue;
                m_g[next] = g;
                m_parent[next] = at;
                open.push({g + heuristic(uint32_t(x), uint32_t(y)), next});
            }
        }
        if (m_closed[end] == 0)
            return;
        for (uint32_t at = end; at != start; at = m_parent[at])
            path.push_back(NavigationGrid::PackTile(at % kSide, at / kSide));
        path.push_back(source);
    }

private:
    const NavigationGrid& m_grid;
    std::vector<float> m_g;
    std::vector<uint32_t> m_parent;
    std::vector<uint8_t> m_closed;
};

void BuildGrid(NavigationGrid& grid, std::vector<std::pair<uint32_t, uint32_t>>& pairs)
{
    std::mt19937 random(30);
    std::bernoulli_distribution blocked(0.3);
    std::vector<uint8_t> block(NavigationGrid::kHeaderSize);
    const uint32_t header[4] = {NavigationGrid::kMagic, NavigationGrid::kVersion, kSide, kSide};
    const float placement[5] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f};
    std::memcpy(block.data(), header, sizeof(header));
    std::memcpy(block.data() + sizeof(header), placement, sizeof(placement));
    for (uint32_t i = 0; i < kSide * kSide; ++i)
        block.push_back(blocked(random) ? 3 : 1);
    grid.Load(block.data(), block.size(), true);
    const auto passable = [&] {
        for (;;)
        {
            const uint32_t x = random() % kSide;
            const uint32_t y = random() % kSide;
            if (grid.IsPassable(int(x), int(y)))
                return NavigationGrid::PackTile(x, y);
        }
    };
    while (pairs.size() < kPairs)
        pairs.push_back({passable(), passable()});
}

void BM_PathSearch256(benchmark::State& state)
{
    NavigationGrid grid;
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    BuildGrid(grid, pairs);
    PathFinder finder;
    ReferenceAStar reference(grid);
    std::vector<PathPoint> path;
    std::vector<uint32_t> referencePath;
    // Both sides must agree on the length of every path that our search found without dropping an
    // open entry at its cap (every push then was popped or is still open) before their times mean
    // anything.
    int capped = 0;
    for (const auto& [source, destination] : pairs)
    {
        finder.FindPath(&grid, grid.TileToWorld(source), grid.TileToWorld(destination), PathFinder::kExactDestination,
                        FLT_MAX);
        finder.AStarSearch(UINT32_MAX - 1);
        finder.BuildPath(path);
        reference.Search(source, destination, referencePath);
        size_t closed = 0;
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x)
                closed += (finder.GetTileState(x, y) & PathFinder::kClosed) != 0 && grid.IsPassable(int(x), int(y));
        const bool dropped = finder.GetPushes() != closed + finder.GetOpenCount();
        capped += dropped ? 1 : 0;
        if (!dropped && path.size() != referencePath.size())
        {
            state.SkipWithError("the two searches found paths of different lengths");
            return;
        }
    }
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (const auto& [source, destination] : pairs)
                {
                    finder.FindPath(&grid, grid.TileToWorld(source), grid.TileToWorld(destination),
                                    PathFinder::kExactDestination, FLT_MAX);
                    finder.AStarSearch(UINT32_MAX - 1);
                    finder.BuildPath(path);
                    benchmark::DoNotOptimize(path.data());
                }
            },
            [&] {
                for (const auto& [source, destination] : pairs)
                {
                    reference.Search(source, destination, referencePath);
                    benchmark::DoNotOptimize(referencePath.data());
                }
            });
    }
    ratio.Report(state, "ratio");
    state.counters["paths_per_s"] = ratio.MedianOurs() > 0.0 ? kPairs / ratio.MedianOurs() : 0.0;
    state.counters["capped"] = capped;
}
BENCHMARK(BM_PathSearch256)->Unit(benchmark::kMillisecond)->Iterations(40);
} // namespace
