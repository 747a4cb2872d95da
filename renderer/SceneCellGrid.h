// The render thread's grid of scene cells over the scene's x/z extent. Render thread only.
#pragma once

#include "core/math/BoundingBox4.h"

#include <cstdint>
#include <vector>

class EntityRenderingContext;

// Cells of equal edge covering the scene box; each keeps the render tasks its contexts register.
class SceneCellGrid
{
public:
    struct Cell
    {
        BoundingBox4 box;
        std::vector<EntityRenderingContext*> tasks[2];
    };

    // Replaces the grid; no cells when either count rounds to 0. The callback runs after every 8 old
    // cells freed (the loading screen keeps drawing meanwhile).
    void Build(const BoundingBox4& sceneBox, float cellEdge, void (*pump)(void*) = nullptr, void* pumpArgument = nullptr);
    // Sets the low and high y of the grid box and of every cell.
    void SetRange(float low, float high);
    void Reset();

    const BoundingBox4& GetBox() const { return m_box; }
    float GetCellEdge() const { return m_cellEdge; }
    uint32_t GetColumns() const { return m_columns; }
    uint32_t GetRows() const { return m_rows; }
    const Cell& GetCell(uint32_t column, uint32_t row) const { return m_cells[size_t(row) * m_columns + column]; }

private:
    BoundingBox4 m_box;
    float m_cellEdge = 0.0f;
    uint32_t m_columns = 0;
    uint32_t m_rows = 0;
    std::vector<Cell> m_cells;
};
