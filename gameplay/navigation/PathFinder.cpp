#include "gameplay/navigation/PathFinder.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

namespace
{
// Neighbour steps by index, and their cost factors (times the tile size).
constexpr int32_t kStepX[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
constexpr int32_t kStepY[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr float kStepCost[8] = {1.41421f, 1.0f, 1.41421f, 1.0f, 1.0f, 1.41421f, 1.0f, 1.41421f};
constexpr uint32_t kMainThread = 0;
constexpr int32_t kSnapRadius = 5;

float Distance3(const Vector& a, const Vector& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}
} // namespace

PathFinder::PathFinder()
{
    m_open.reserve(4096);
    m_stack.reserve(512);
}

void PathFinder::Reset(const NavigationGrid* grid)
{
    m_grid = grid;
    m_pushes = 0;
    m_flags = 0;
    m_open.clear();
    m_sourceTile = NavigationGrid::kNoTile;
    m_destinationTile = NavigationGrid::kNoTile;
    m_closestTile = NavigationGrid::kNoTile;
    m_sourcePoint.Set(0.0f, 0.0f, 0.0f, 1.0f);
    m_destinationPoint.Set(0.0f, 0.0f, 0.0f, 1.0f);
    m_costLimit = 0.0f;
    m_closestDistance = FLT_MAX;
    m_searching = false;
    m_width = grid != nullptr ? grid->GetWidth() : 0;
    ReadGrid();
    const size_t tiles = grid != nullptr ? size_t(grid->GetWidth()) * grid->GetHeight() : 0;
    if (m_states.size() != tiles)
        m_states.resize(tiles);
    std::fill(m_states.begin(), m_states.end(), uint16_t(0));
}

void PathFinder::ReadGrid()
{
    m_height = m_grid != nullptr ? m_grid->GetHeight() : 0;
    m_tiles = m_grid != nullptr ? m_grid->GetCells().data() : nullptr;
    m_origin = m_grid != nullptr ? m_grid->GetOrigin() : Vector(0.0f, 0.0f, 0.0f, 1.0f);
    m_tileSize = m_grid != nullptr ? m_grid->GetCellSize() : 0.0f;
}

bool PathFinder::FindPath(const NavigationGrid* grid, const Vector& source, const Vector& destination, uint32_t flags,
                          float costLimit)
{
    if (grid == nullptr)
        return false;
    Reset(grid);
    m_flags = flags;
    m_sourceTile = FindNearestPassableTile(source);
    if (m_sourceTile == NavigationGrid::kNoTile)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot find path. Source tile cannot be found at position %f,%f,%f",
                       double(source.x), double(source.y), double(source.z));
        return false;
    }
    m_destinationPoint = destination;
    if (!MarkGoals(destination))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "Cannot find path. Destination tile cannot be found at position %f,%f,%f",
                       double(destination.x), double(destination.y), double(destination.z));
        return false;
    }
    m_sourcePoint = source;
    m_costLimit = costLimit;
    const int32_t x = int32_t(NavigationGrid::TileX(m_sourceTile));
    const int32_t y = int32_t(NavigationGrid::TileY(m_sourceTile));
    Push(m_sourceTile, 0.0f, Heuristic(x, y));
    m_searching = true;
    return true;
}

uint32_t PathFinder::FindNearestPassableTile(const Vector& point) const
{
    const uint32_t tile = m_grid->WorldToTile(point);
    if (tile == NavigationGrid::kNoTile)
        return tile;
    const int32_t cx = int32_t(NavigationGrid::TileX(tile));
    const int32_t cy = int32_t(NavigationGrid::TileY(tile));
    uint32_t best = NavigationGrid::kNoTile;
    float bestDistance = FLT_MAX;
    for (int32_t dy = -kSnapRadius; dy <= kSnapRadius; ++dy)
        for (int32_t dx = -kSnapRadius; dx <= kSnapRadius; ++dx)
        {
            if (!m_grid->IsPassable(cx + dx, cy + dy))
                continue;
            const Vector centre = m_grid->TileToWorld(uint32_t(cx + dx), uint32_t(cy + dy));
            const float distance = (centre.x - point.x) * (centre.x - point.x) +
                                   (centre.y - point.y) * (centre.y - point.y) +
                                   (centre.z - point.z) * (centre.z - point.z);
            if (distance < bestDistance)
            {
                bestDistance = distance;
                best = NavigationGrid::PackTile(uint32_t(cx + dx), uint32_t(cy + dy));
            }
        }
    return best;
}

bool PathFinder::MarkGoals(const Vector& destination)
{
    const uint32_t tile = m_grid->WorldToTile(destination);
    if (tile == NavigationGrid::kNoTile)
        return false;
    const int32_t x = int32_t(NavigationGrid::TileX(tile));
    const int32_t y = int32_t(NavigationGrid::TileY(tile));
    if (m_grid->IsPassable(x, y))
    {
        m_states[StateIndex(x, y)] |= kGoal;
        return true;
    }
    if ((m_flags & kExactDestination) != 0)
        return false;
    // Flood through the blocked area around the destination; the passable tiles touching it become
    // goals. Border rows and columns are never touched.
    const int32_t lastX = int32_t(m_grid->GetWidth()) - 2;
    const int32_t lastY = int32_t(m_grid->GetHeight()) - 2;
    bool found = false;
    m_stack.clear();
    m_stack.push_back(tile);
    m_states[StateIndex(x, y)] |= kClosed;
    while (!m_stack.empty())
    {
        const uint32_t current = m_stack.back();
        m_stack.pop_back();
        for (int step = 0; step < 8; ++step)
        {
            const int32_t nx = int32_t(NavigationGrid::TileX(current)) + kStepX[step];
            const int32_t ny = int32_t(NavigationGrid::TileY(current)) + kStepY[step];
            if (nx < 1 || ny < 1 || nx > lastX || ny > lastY)
                continue;
            uint16_t& state = m_states[StateIndex(nx, ny)];
            if (m_grid->IsPassable(nx, ny))
            {
                state |= kGoal;
                found = true;
            }
            else if ((state & kClosed) == 0)
            {
                state |= kClosed;
                m_stack.push_back(NavigationGrid::PackTile(uint32_t(nx), uint32_t(ny)));
            }
        }
    }
    return found;
}

float PathFinder::Heuristic(int32_t x, int32_t y) const
{
    // The tile's centre as NavigationGrid::TileToWorld places it.
    const Vector centre(m_origin.x + m_tileSize * float(uint32_t(x)), m_origin.y,
                        m_origin.z + m_tileSize * float(uint32_t(y)), m_origin.w);
    return Distance3(centre, m_destinationPoint);
}

bool PathFinder::RefineGoal(uint32_t tile)
{
    const int32_t x = int32_t(NavigationGrid::TileX(tile));
    const int32_t y = int32_t(NavigationGrid::TileY(tile));
    const auto isGoal = [this](int32_t nx, int32_t ny) {
        return m_grid->IsInside(nx, ny) && (m_states[StateIndex(nx, ny)] & kGoal) != 0;
    };
    bool wideRegion = false;
    for (int step = 0; step < 8 && !wideRegion; ++step)
        wideRegion = isGoal(x + kStepX[step], y + kStepY[step]);
    if (!wideRegion)
        return true;
    // A wide goal region keeps only its tile nearest to the destination point.
    uint32_t best = tile;
    float bestDistance = Heuristic(x, y);
    m_states[StateIndex(x, y)] &= uint16_t(~kGoal);
    m_stack.clear();
    m_stack.push_back(tile);
    while (!m_stack.empty())
    {
        const uint32_t current = m_stack.back();
        m_stack.pop_back();
        const int32_t cx = int32_t(NavigationGrid::TileX(current));
        const int32_t cy = int32_t(NavigationGrid::TileY(current));
        const float distance = Heuristic(cx, cy);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = current;
        }
        for (int step = 0; step < 8; ++step)
        {
            const int32_t nx = cx + kStepX[step];
            const int32_t ny = cy + kStepY[step];
            if (!isGoal(nx, ny))
                continue;
            m_states[StateIndex(nx, ny)] &= uint16_t(~kGoal);
            m_stack.push_back(NavigationGrid::PackTile(uint32_t(nx), uint32_t(ny)));
        }
    }
    m_states[StateIndex(int32_t(NavigationGrid::TileX(best)), int32_t(NavigationGrid::TileY(best)))] |= kGoal;
    return best == tile;
}

uint32_t PathFinder::OpenNeighbourMask(int32_t x, int32_t y) const
{
    uint32_t mask = 0;
    // Tiles outside the grid are impassable: a walkable border never leads the search outside the
    // tile arrays. Inside the border no step can leave the grid, so only the tiles are read.
    if (x > 0 && y > 0 && uint32_t(x) + 1 < m_width && uint32_t(y) + 1 < m_height)
    {
        const size_t centre = StateIndex(x, y);
        for (int step = 0; step < 8; ++step)
        {
            const size_t index = centre + ptrdiff_t(kStepY[step]) * ptrdiff_t(m_width) + kStepX[step];
            const bool walkable =
                (m_tiles[index] & (NavigationGrid::kTileWalkable | NavigationGrid::kTileBlocked)) ==
                NavigationGrid::kTileWalkable;
            const bool closed = (m_states[index] & kClosed) != 0;
            mask |= uint32_t(walkable & !closed) << step;
        }
        return mask;
    }
    for (int step = 0; step < 8; ++step)
    {
        const int32_t nx = x + kStepX[step];
        const int32_t ny = y + kStepY[step];
        if (IsPassable(nx, ny) && (m_states[StateIndex(nx, ny)] & kClosed) == 0)
            mask |= 1u << step;
    }
    return mask;
}

uint8_t PathFinder::AStarSearch(uint32_t budget)
{
    if (!m_searching)
        return 0;
    gProfiler.StartTimer(PROFILER_PATHFINDING, kMainThread);
    // A search runs over frames: the tiles are read again in case the grid changed between them.
    ReadGrid();
    const float cellSize = m_tileSize;
    uint32_t pops = 0;
    while (!m_open.empty())
    {
        if (pops > budget)
        {
            gProfiler.StopTimer(PROFILER_PATHFINDING, kMainThread);
            return 1;
        }
        ++pops;
        const OpenEntry popped = Pop();
        const int32_t x = int32_t(NavigationGrid::TileX(popped.tile));
        const int32_t y = int32_t(NavigationGrid::TileY(popped.tile));
        if (popped.h < m_closestDistance)
        {
            m_closestDistance = popped.h;
            m_closestTile = popped.tile;
        }
        uint16_t& state = m_states[StateIndex(x, y)];
        state |= kClosed;
        if ((state & kGoal) != 0 && RefineGoal(popped.tile))
        {
            m_destinationTile = popped.tile;
            break;
        }
        if (!(m_costLimit > popped.g))
            continue;
        // The neighbours worth a look, found without a branch apiece: on a grid with scattered
        // obstacles those branches are coin flips. Steps are still taken in their fixed order.
        uint32_t candidates = OpenNeighbourMask(x, y);
        while (candidates != 0)
        {
            const int step = std::countr_zero(candidates);
            candidates &= candidates - 1;
            const int32_t nx = x + kStepX[step];
            const int32_t ny = y + kStepY[step];
            const size_t index = StateIndex(nx, ny);
            uint16_t& neighbour = m_states[index];
            const float g = popped.g + kStepCost[step] * cellSize;
            const uint16_t stepBits = uint16_t(step << kStepShift);
            if ((neighbour & kOpen) != 0)
            {
                const uint32_t position = neighbour >> kHeapShift;
                OpenEntry& open = m_open[position];
                if (open.g > g)
                {
                    open.g = g;
                    open.f = open.h + g;
                    neighbour = uint16_t((neighbour & ~kStepMask) | stepBits);
                    MoveUp(position);
                }
            }
            else
            {
                neighbour = uint16_t((neighbour & ~kStepMask) | stepBits);
                Push(NavigationGrid::PackTile(uint32_t(nx), uint32_t(ny)), g, Heuristic(nx, ny));
            }
        }
    }
    if (m_destinationTile == NavigationGrid::kNoTile && m_closestTile != NavigationGrid::kNoTile &&
        (m_flags & kExactDestination) == 0)
        m_destinationTile = m_closestTile;
    m_searching = false;
    gProfiler.StopTimer(PROFILER_PATHFINDING, kMainThread);
    return 0;
}

bool PathFinder::BuildPath(std::vector<PathPoint>& out) const
{
    out.clear();
    if (m_destinationTile == NavigationGrid::kNoTile || m_grid == nullptr)
        return false;
    // Every parent was closed before its child, so the walk back reaches the source.
    uint32_t tile = m_destinationTile;
    while (tile != m_sourceTile)
    {
        const Vector point = m_grid->TileToWorld(tile);
        out.push_back({point.x, point.y, point.z, tile});
        const int32_t x = int32_t(NavigationGrid::TileX(tile));
        const int32_t y = int32_t(NavigationGrid::TileY(tile));
        const int step = (m_states[StateIndex(x, y)] & kStepMask) >> kStepShift;
        tile = NavigationGrid::PackTile(uint32_t(x - kStepX[step]), uint32_t(y - kStepY[step]));
    }
    out.push_back({m_sourcePoint.x, m_sourcePoint.y, m_sourcePoint.z, m_sourceTile});
    std::reverse(out.begin(), out.end());
    return true;
}

void PathFinder::Place(uint32_t position, const OpenEntry& entry)
{
    m_open[position] = entry;
    uint16_t& state = StateOf(entry.tile);
    state = uint16_t((state & ((1u << kHeapShift) - 1)) | (position << kHeapShift));
}

void PathFinder::Push(uint32_t tile, float g, float h)
{
    ++m_pushes;
    StateOf(tile) |= kOpen;
    m_open.push_back({tile, g, h, g + h});
    MoveUp(uint32_t(m_open.size() - 1));
    if (m_open.size() >= kOpenCap)
    {
        // The dropped tile is neither open nor closed, so a later step may push it again.
        StateOf(m_open.back().tile) &= uint16_t(~kOpen);
        m_open.pop_back();
    }
}

void PathFinder::MoveUp(uint32_t position)
{
    const OpenEntry entry = m_open[position];
    while (position > 0)
    {
        const uint32_t parent = (position - 1) / 2;
        if (!(m_open[parent].f > entry.f))
            break;
        Place(position, m_open[parent]);
        position = parent;
    }
    Place(position, entry);
}

PathFinder::OpenEntry PathFinder::Pop()
{
    const OpenEntry root = m_open.front();
    StateOf(root.tile) &= uint16_t(~kOpen);
    const OpenEntry last = m_open.back();
    m_open.pop_back();
    const uint32_t count = uint32_t(m_open.size());
    if (count == 0)
        return root;
    uint32_t position = 0;
    for (;;)
    {
        const uint32_t left = position * 2 + 1;
        if (left >= count)
            break;
        // The smaller child picked by arithmetic: which one wins is unpredictable.
        const uint32_t child = left + uint32_t(left + 1 < count && m_open[left].f > m_open[left + 1].f);
        if (!(last.f > m_open[child].f))
            break;
        Place(position, m_open[child]);
        position = child;
    }
    Place(position, last);
    return root;
}
