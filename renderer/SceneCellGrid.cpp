#include "renderer/SceneCellGrid.h"

#include <algorithm>
#include <cmath>

namespace
{
int32_t ClampedFloor(float value, int32_t last)
{
    const double f = std::floor(double(value));
    if (!(f > 0.0))
        return 0;
    return f >= double(last) ? last : int32_t(f);
}

bool IsBefore(const SceneCellRecord& record, const EntityRenderingContext* context)
{
    return reinterpret_cast<uintptr_t>(record.context) < reinterpret_cast<uintptr_t>(context);
}
} // namespace

void SceneCellGrid::Reset()
{
    m_box = BoundingBox4();
    m_cellEdge = 0.0f;
    m_columns = 0;
    m_rows = 0;
    m_cells.clear();
    ++m_generation;
}

void SceneCellGrid::Build(const BoundingBox4& sceneBox, float cellEdge, void (*pump)(void*), void* pumpArgument)
{
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        m_cells[i].records.clear();
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

SceneCellRange SceneCellGrid::GetCellRange(const BoundingBox4& worldBox) const
{
    SceneCellRange range;
    // A box of NaN or infinite corners would give no sensible cells: it covers none.
    if (m_cells.empty() || !worldBox.IsValid3() || !std::isfinite(worldBox.min.x) || !std::isfinite(worldBox.min.z) ||
        !std::isfinite(worldBox.max.x) || !std::isfinite(worldBox.max.z))
        return range;
    const float inverse = 1.0f / m_cellEdge;
    const int32_t lastX = int32_t(m_columns) - 1;
    const int32_t lastZ = int32_t(m_rows) - 1;
    range.x0 = ClampedFloor((worldBox.min.x - m_box.min.x) * inverse, lastX);
    range.z0 = ClampedFloor((worldBox.min.z - m_box.min.z) * inverse, lastZ);
    range.x1 = ClampedFloor((worldBox.max.x - m_box.min.x) * inverse, lastX) + 1;
    range.z1 = ClampedFloor((worldBox.max.z - m_box.min.z) * inverse, lastZ) + 1;
    return range;
}

SceneCellGrid::Cell* SceneCellGrid::FindCell(int32_t column, int32_t row)
{
    if (column < 0 || row < 0 || uint32_t(column) >= m_columns || uint32_t(row) >= m_rows)
        return nullptr;
    return &m_cells[size_t(row) * m_columns + uint32_t(column)];
}

void SceneCellGrid::Insert(int32_t column, int32_t row, const SceneCellRecord& record)
{
    Cell* const cell = FindCell(column, row);
    if (cell == nullptr)
        return;
    auto at = std::lower_bound(cell->records.begin(), cell->records.end(), record.context, IsBefore);
    if (at != cell->records.end() && at->context == record.context)
        return;
    cell->records.insert(at, record);
}

void SceneCellGrid::Remove(int32_t column, int32_t row, const EntityRenderingContext* context)
{
    Cell* const cell = FindCell(column, row);
    if (cell == nullptr)
        return;
    auto at = std::lower_bound(cell->records.begin(), cell->records.end(), context, IsBefore);
    if (at != cell->records.end() && at->context == context)
        cell->records.erase(at);
}
