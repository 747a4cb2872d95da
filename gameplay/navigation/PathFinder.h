// PathFinder: A* over a NavigationGrid in slices of a bounded number of steps, so that a long search
// spreads over frames. FindPath places the source on the nearest passable tile and marks the goal
// tiles (the destination's own tile, or the passable tiles around a blocked area that holds it);
// AStarSearch runs until a goal is popped or the open list empties, when the tile that came closest
// becomes the result unless the exact flag forbids it; BuildPath walks the parents back. A tile's
// state is one u16 holding its heap position, so the open list keeps at most 1022 entries: a search
// with a wider front loses some and may end on a longer way or on the closest tile. One per
// movement controller; all its memory is reused between searches. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "gameplay/navigation/NavigationGrid.h"

#include <cstdint>
#include <vector>

// One point of a built path: the world position and, in the fourth word, the packed tile.
struct PathPoint
{
    float x;
    float y;
    float z;
    uint32_t tile;
};

// The time-sliced A* search of one movement controller.
class PathFinder
{
public:
    // No goal flood around a blocked destination and no fallback to the closest tile.
    static constexpr uint32_t kExactDestination = 1;
    // The steps a movement controller gives the search each frame.
    static constexpr uint32_t kFrameBudget = 2048;

    // Tile state bits.
    static constexpr uint16_t kOpen = 1;
    static constexpr uint16_t kClosed = 2;
    static constexpr uint16_t kGoal = 4;
    static constexpr uint16_t kStepMask = 0x38;
    static constexpr int kStepShift = 3;

    // Bits 6 to 15 of a tile's state: the position of its entry in the open heap.
    static constexpr int kHeapShift = 6;
    // The heap position field holds 0 to 1023, so the open list is capped: a push that brings it to
    // this count drops the heap's last array entry (which may be the one just pushed).
    static constexpr size_t kOpenCap = 1023;

    // One open-list entry: the heap is ordered on f = g + h.
    struct OpenEntry
    {
        uint32_t tile;
        float g;
        float h;
        float f;
    };

    PathFinder();

    // Binds the grid and forgets every search.
    void Reset(const NavigationGrid* grid);
    // Prepares a search; false (logged when an end cannot be placed) when nothing can be searched.
    bool FindPath(const NavigationGrid* grid, const Vector& source, const Vector& destination, uint32_t flags,
                  float costLimit);
    // At most budget + 1 pops: 1 when work is left for a later call, 0 when the search is over.
    uint8_t AStarSearch(uint32_t budget);
    // The path from the source point to the destination tile's centre; false without a result.
    bool BuildPath(std::vector<PathPoint>& out) const;

    uint32_t GetSourceTile() const { return m_sourceTile; }
    uint32_t GetDestinationTile() const { return m_destinationTile; }
    uint32_t GetClosestTile() const { return m_closestTile; }
    uint32_t GetPushes() const { return m_pushes; }
    size_t GetOpenCount() const { return m_open.size(); }
    uint16_t GetTileState(uint32_t x, uint32_t y) const { return m_states[size_t(y) * m_width + x]; }

private:
    uint32_t FindNearestPassableTile(const Vector& point) const;
    bool MarkGoals(const Vector& destination);
    // True when the popped goal tile is the goal to stop at.
    bool RefineGoal(uint32_t tile);
    float Heuristic(int32_t x, int32_t y) const;
    void ReadGrid();
    bool IsPassable(int32_t x, int32_t y) const
    {
        return uint32_t(x) < m_width && uint32_t(y) < m_height &&
               (m_tiles[StateIndex(x, y)] & (NavigationGrid::kTileWalkable | NavigationGrid::kTileBlocked)) ==
                   NavigationGrid::kTileWalkable;
    }
    // Bit n set when step n leads to a passable tile that is not closed.
    uint32_t OpenNeighbourMask(int32_t x, int32_t y) const;
    size_t StateIndex(int32_t x, int32_t y) const { return size_t(y) * m_width + size_t(x); }
    void Push(uint32_t tile, float g, float h);
    OpenEntry Pop();
    void MoveUp(uint32_t position);
    void Place(uint32_t position, const OpenEntry& entry);
    uint16_t& StateOf(uint32_t tile)
    {
        return m_states[size_t(NavigationGrid::TileY(tile)) * m_width + NavigationGrid::TileX(tile)];
    }

    uint32_t m_pushes = 0;
    uint32_t m_flags = 0;
    std::vector<OpenEntry> m_open;
    uint32_t m_sourceTile = NavigationGrid::kNoTile;
    uint32_t m_destinationTile = NavigationGrid::kNoTile;
    uint32_t m_closestTile = NavigationGrid::kNoTile;
    Vector m_sourcePoint = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    Vector m_destinationPoint = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    float m_costLimit = 0.0f;
    float m_closestDistance = 0.0f;
    bool m_searching = false;
    const NavigationGrid* m_grid = nullptr;
    uint32_t m_width = 0;
    // The grid's size, tiles, origin and tile size, read once per search: the inner loop tests
    // eight neighbours per step without a call apiece.
    uint32_t m_height = 0;
    const uint8_t* m_tiles = nullptr;
    Vector m_origin = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    float m_tileSize = 0.0f;
    // One word per tile: the bits above and, while the tile is open, its heap position.
    std::vector<uint16_t> m_states;
    std::vector<uint32_t> m_stack;
};
