#include "renderer/SceneCellGrid.h"

#include <cmath>

void SceneCellGrid::Reset()
{
    m_box = BoundingBox4();
    m_cellEdge = 0.0f;
    m_columns = 0;
    m_rows = 0;
    m_cells.clear();
}

void SceneCellGrid::Build(const BoundingBox4& sceneBox, float cellEdge, void (*pump)(void*), void* pumpArgument)
{
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        m_cells[i].tasks[0].clear();
        m_cells[i].tasks[1].clear();
        if (pump && (i + 1) % 8 == 0)
            pump(pumpArgument);
    }
    Reset();
    m_box = sceneBox;
    m_cellEdge = cellEdge;
    // Non-finite or non-positive edges and extents give no cells instead of a huge count.
    if (!(cellEdge > 0.0f) || !std::isfinite(cellEdge))
        return;
    const double columns = std::floor(double(sceneBox.max.x - sceneBox.min.x) / cellEdge + 0.5);
    const double rows = std::floor(double(sceneBox.max.z - sceneBox.min.z) / cellEdge + 0.5);
    if (!(columns >= 1.0) || !(rows >= 1.0) || columns * rows > 1048576.0)
        return;
    m_columns = uint32_t(columns);
    m_rows = uint32_t(rows);
    m_cells.resize(size_t(m_columns) * m_rows);
    for (uint32_t j = 0; j < m_rows; ++j)
        for (uint32_t i = 0; i < m_columns; ++i)
        {
            Cell& cell = m_cells[size_t(j) * m_columns + i];
            cell.box.min = Vector(sceneBox.min.x + float(i) * cellEdge, sceneBox.min.y, sceneBox.min.z + float(j) * cellEdge, 1.0f);
            cell.box.max = Vector(sceneBox.min.x + float(i + 1) * cellEdge, sceneBox.max.y,
                                  sceneBox.min.z + float(j + 1) * cellEdge, 1.0f);
        }
}

void SceneCellGrid::SetRange(float low, float high)
{
    m_box.min.y = low;
    m_box.max.y = high;
    for (Cell& cell : m_cells)
    {
        cell.box.min.y = low;
        cell.box.max.y = high;
    }
}
