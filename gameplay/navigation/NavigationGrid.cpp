#include "gameplay/navigation/NavigationGrid.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "scene/entities/Entity.h"

#include <cmath>

size_t NavigationGrid::Load(const void* buffer, size_t size, bool check)
{
    RecordInput in(static_cast<const uint8_t*>(buffer), buffer != nullptr ? size : 0);
    uint32_t magic = 0;
    uint32_t version = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float origin[4] = {};
    float cellSize = 0.0f;
    bool whole = in.ReadU32(magic) && in.ReadU32(version) && in.ReadU32(width) && in.ReadU32(height);
    for (float& value : origin)
        whole = whole && in.ReadFloat(value);
    whole = whole && in.ReadFloat(cellSize);
    if (check && whole && (magic != kMagic || version != kVersion))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Navigation grid block has magic %08X version %u", magic, version);
        return 0;
    }
    // The product is taken in 64 bits: two forged sizes must not wrap to a small count.
    const uint64_t cells = uint64_t(width) * uint64_t(height);
    if (!whole || cells > in.Remaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Navigation grid block is cut short (%u x %u cells)", width, height);
        return 0;
    }
    if (width > kMaxSide || height > kMaxSide)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Navigation grid of %u x %u tiles is too large", width, height);
        return 0;
    }
    m_width = width;
    m_height = height;
    m_origin.Set(origin[0], origin[1], origin[2], origin[3]);
    m_cellSize = cellSize;
    const uint8_t* data = static_cast<const uint8_t*>(buffer) + in.Position();
    m_cells.assign(data, data + cells);
    m_loadedCells = m_cells;
    return kHeaderSize + size_t(cells);
}

void NavigationGrid::Clear()
{
    m_dynamicMeshes.FreeStorage();
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_loadedCells.clear();
    m_loadedCells.shrink_to_fit();
    m_width = 0;
    m_height = 0;
    m_origin.Set(0.0f, 0.0f, 0.0f, 1.0f);
    m_cellSize = 0.0f;
    m_dirty = false;
}

uint32_t NavigationGrid::WorldToTile(const Vector& point) const
{
    if (!(m_cellSize > 0.0f))
        return kNoTile;
    const float qx = (point.x - m_origin.x) / m_cellSize + 0.5f;
    const float qz = (point.z - m_origin.z) / m_cellSize + 0.5f;
    // Truncation toward zero: values between -1 and 0 still give tile 0. The range test comes
    // first, since converting a float outside the integer range (or a NaN) is undefined.
    if (!(qx > -1.0f && qx < float(m_width) && qz > -1.0f && qz < float(m_height)))
        return kNoTile;
    const uint32_t x = qx > 0.0f ? uint32_t(qx) : 0u;
    const uint32_t y = qz > 0.0f ? uint32_t(qz) : 0u;
    if (x >= m_width || y >= m_height)
        return kNoTile;
    return PackTile(x, y);
}

Vector NavigationGrid::TileToWorld(uint32_t x, uint32_t y) const
{
    return Vector(m_origin.x + m_cellSize * float(x), m_origin.y, m_origin.z + m_cellSize * float(y), m_origin.w);
}

bool NavigationGrid::IsPassable(int32_t x, int32_t y) const
{
    if (!IsInside(x, y))
        return false;
    const uint8_t flags = m_cells[size_t(y) * m_width + size_t(x)];
    return (flags & (kTileWalkable | kTileBlocked)) == kTileWalkable;
}

void NavigationGrid::AddDynamicCollisionMesh(Entity* mesh)
{
    m_dynamicMeshes.Add(SafePointer<Entity>(mesh));
    m_dirty = true;
}

void NavigationGrid::RebuildDynamicOccupancy()
{
    m_dirty = false;
    for (size_t i = 0; i < m_cells.size(); ++i)
        m_cells[i] = uint8_t((m_cells[i] & ~kTileBlocked) | (m_loadedCells[i] & kTileBlocked));
    for (int32_t i = m_dynamicMeshes.Count() - 1; i >= 0; --i)
        if (!m_dynamicMeshes[i])
            m_dynamicMeshes.RemoveAt(i);
    if (m_cells.empty() || !(m_cellSize > 0.0f))
        return;
    // A tile is covered when its square (centre +- half a tile) overlaps the box on x and z. The
    // clamp happens on the float: converting one outside the integer range (or a NaN) is undefined.
    const auto index = [this](float value, float origin, float shift, uint32_t count) {
        const float q = std::floor((value - origin) / m_cellSize + shift);
        if (!(q > 0.0f))
            return int64_t(0);
        return q >= float(count) ? int64_t(count) : int64_t(q);
    };
    for (const SafePointer<Entity>& pointer : m_dynamicMeshes)
    {
        const BoundingBox4& box = pointer.Get()->GetWorldBoundingBox();
        if (!box.IsValid3())
            continue;
        const int64_t x0 = index(box.min.x, m_origin.x, 0.5f, m_width);
        const int64_t y0 = index(box.min.z, m_origin.z, 0.5f, m_height);
        const int64_t x1 = index(box.max.x, m_origin.x, 1.5f, m_width);
        const int64_t y1 = index(box.max.z, m_origin.z, 1.5f, m_height);
        for (int64_t y = y0; y < y1; ++y)
            for (int64_t x = x0; x < x1; ++x)
                m_cells[size_t(y) * m_width + size_t(x)] |= kTileBlocked;
    }
}
