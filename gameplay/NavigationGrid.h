// NavigationGrid: the scene's tile grid read from the scene file, owned by the entity manager.
// The block's header and cells are kept as read; pathfinding over them comes with the gameplay
// services, which log that they are not built yet. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Entity;

// The navigation grid block of a scene: magic, version, size, origin, cell size and w x h cells.
class NavigationGrid
{
public:
    static constexpr uint32_t kMagic = 0xD8340F9C;
    static constexpr uint32_t kVersion = 1;
    static constexpr size_t kHeaderSize = 36;

    // Reads one block of at most `size` bytes; the bytes consumed, or 0 (logged) when the block is
    // cut short or, with `check`, its magic or version is wrong.
    size_t Load(const void* buffer, size_t size, bool check);

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    const float* GetOrigin() const { return m_origin; }
    float GetCellSize() const { return m_cellSize; }
    const std::vector<uint8_t>& GetCells() const { return m_cells; }

    NavigationGrid() = default;
    // Out of line: the list's entity type is complete only there.
    ~NavigationGrid();
    NavigationGrid(const NavigationGrid&) = delete;
    NavigationGrid& operator=(const NavigationGrid&) = delete;

    // Meshes whose collision moves with them; the grid rebuilds their part when marked dirty.
    void AddDynamicCollisionMesh(Entity* mesh);
    const std::vector<SafePointer<Entity>>& GetDynamicCollisionMeshes() const { return m_dynamicMeshes; }
    void MarkDynamicCollisionDirty() { m_dynamicCollisionDirty = true; }
    bool IsDynamicCollisionDirty() const { return m_dynamicCollisionDirty; }

private:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    float m_origin[4] = {};
    float m_cellSize = 0.0f;
    std::vector<uint8_t> m_cells;
    std::vector<SafePointer<Entity>> m_dynamicMeshes;
    bool m_dynamicCollisionDirty = false;
};
