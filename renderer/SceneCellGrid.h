// The render thread's grid of scene cells over the scene's x/z extent, and the records of the
// rendering contexts that cover each cell. Render thread only.
#pragma once

#include "core/math/BoundingBox4.h"

#include <cstdint>
#include <vector>

class EntityRenderingContext;

// A half-open range of cell columns [x0, x1) and rows [z0, z1); -1 everywhere while empty.
struct SceneCellRange
{
    int32_t x0 = -1;
    int32_t z0 = -1;
    int32_t x1 = -1;
    int32_t z1 = -1;

    bool IsEmpty() const { return x0 >= x1 || z0 >= z1; }
    bool Contains(int32_t x, int32_t z) const { return x >= x0 && x < x1 && z >= z0 && z < z1; }
    bool operator==(const SceneCellRange& o) const { return x0 == o.x0 && z0 == o.z0 && x1 == o.x1 && z1 == o.z1; }
};

// One context's entry in a cell.
struct SceneCellRecord
{
    uint32_t key;
    EntityRenderingContext* context;
    uint32_t gridWord;
};

// Cells of equal edge covering the scene box; each keeps its contexts' records sorted by the
// context's address.
class SceneCellGrid
{
public:
    struct Cell
    {
        BoundingBox4 box;
        std::vector<SceneCellRecord> records;
    };

    // Replaces the grid; no cells when either count rounds to 0. The callback runs after every 8 old
    // cells freed (the loading screen keeps drawing meanwhile).
    void Build(const BoundingBox4& sceneBox, float cellEdge, void (*pump)(void*) = nullptr, void* pumpArgument = nullptr);
    // Sets the low and high y of the grid box and of every cell.
    void SetRange(float low, float high);
    void Reset();

    // The cells a world box covers, clamped to the grid; empty without cells or for an invalid box.
    SceneCellRange GetCellRange(const BoundingBox4& worldBox) const;
    // Inserts the record at its sorted place (nothing when the context is already there).
    void Insert(int32_t column, int32_t row, const SceneCellRecord& record);
    // Removes the context's record from the cell, when it is there.
    void Remove(int32_t column, int32_t row, const EntityRenderingContext* context);
    // Counts every rebuild: a range stored under an older generation names cells that no longer hold it.
    uint32_t GetGeneration() const { return m_generation; }

    const BoundingBox4& GetBox() const { return m_box; }
    float GetCellEdge() const { return m_cellEdge; }
    uint32_t GetColumns() const { return m_columns; }
    uint32_t GetRows() const { return m_rows; }
    const Cell& GetCell(uint32_t column, uint32_t row) const { return m_cells[size_t(row) * m_columns + column]; }

private:
    Cell* FindCell(int32_t column, int32_t row);

    BoundingBox4 m_box;
    float m_cellEdge = 0.0f;
    uint32_t m_columns = 0;
    uint32_t m_rows = 0;
    uint32_t m_generation = 0;
    std::vector<Cell> m_cells;
};
