// NavigationGrid: the scene's tile grid on the x/z plane, read from the scene file and owned by the
// entity manager. One flag byte per tile: bit 0 walkable, bit 1 blocked; a tile is passable when it
// is walkable and not blocked. Mesh entities with dynamic player collision are listed here and
// block the tiles under them, re-entered once per frame when one of them moved (the dirty flag).
// Tiles travel packed in a u32, x in the low 16 bits and y in the high 16 bits. PathFinder searches
// paths over the grid. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Entity;

// The scene's navigation tiles: size, origin, tile size and one flag byte per tile.
class NavigationGrid
{
public:
    static constexpr uint32_t kMagic = 0xD8340F9C;
    static constexpr uint32_t kVersion = 1;
    static constexpr size_t kHeaderSize = 36;
    static constexpr uint8_t kTileWalkable = 1;
    static constexpr uint8_t kTileBlocked = 2;
    static constexpr uint32_t kNoTile = 0xFFFFFFFFu;
    // Tile coordinates are packed in 16 bits each.
    static constexpr uint32_t kMaxSide = 0xFFFF;

    NavigationGrid() = default;
    ~NavigationGrid() { Clear(); }
    NavigationGrid(const NavigationGrid&) = delete;
    NavigationGrid& operator=(const NavigationGrid&) = delete;

    // Reads one block of at most `size` bytes; the bytes consumed (36 + width x height), or 0
    // (logged, nothing changed) when the block is cut short, a side is too long to pack or, with
    // `check`, its magic or version is wrong.
    size_t Load(const void* buffer, size_t size, bool check);
    // No tiles, no listed meshes, origin (0, 0, 0, 1), tile size 0.
    void Clear();

    static uint32_t PackTile(uint32_t x, uint32_t y) { return (y << 16) | (x & 0xFFFF); }
    static uint32_t TileX(uint32_t tile) { return tile & 0xFFFF; }
    static uint32_t TileY(uint32_t tile) { return tile >> 16; }

    // The tile whose centre is nearest on x/z (positions less than half a tile outside still map to
    // the border tile); kNoTile outside the grid.
    uint32_t WorldToTile(const Vector& point) const;
    // The tile's centre, at the origin's y and w.
    Vector TileToWorld(uint32_t tile) const { return TileToWorld(TileX(tile), TileY(tile)); }
    Vector TileToWorld(uint32_t x, uint32_t y) const;
    // False for every tile outside the grid.
    bool IsPassable(int32_t x, int32_t y) const;
    bool IsInside(int32_t x, int32_t y) const
    {
        return x >= 0 && y >= 0 && uint32_t(x) < m_width && uint32_t(y) < m_height;
    }

    // Lists a mesh entity whose world box blocks tiles; the next rebuild enters it.
    void AddDynamicCollisionMesh(Entity* mesh);
    void SetDirty() { m_dirty = true; }
    bool IsDirty() const { return m_dirty; }
    // Tiles get their loaded blocked bit back, meshes that are gone leave the list, and the tiles
    // under each listed mesh's world box are blocked; clears the dirty flag.
    void RebuildDynamicOccupancy();
    int32_t GetDynamicCollisionMeshCount() const { return m_dynamicMeshes.Count(); }

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    const Vector& GetOrigin() const { return m_origin; }
    float GetCellSize() const { return m_cellSize; }
    const std::vector<uint8_t>& GetCells() const { return m_cells; }
    uint8_t GetCell(uint32_t x, uint32_t y) const { return m_cells[size_t(y) * m_width + x]; }

private:
    SafePointerArray<Entity> m_dynamicMeshes;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<uint8_t> m_cells;
    // The tiles as loaded: a rebuild takes back their blocked bits, so the editor's own blocked
    // tiles survive meshes moving over and away from them.
    std::vector<uint8_t> m_loadedCells;
    Vector m_origin = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    float m_cellSize = 0.0f;
    bool m_dirty = false;
};
