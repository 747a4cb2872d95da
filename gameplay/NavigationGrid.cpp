#include "gameplay/NavigationGrid.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "scene/entities/Entity.h"

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
    // The product is taken in 64 bits: two forged sizes must not wrap to a small count.
    const uint64_t cells = uint64_t(width) * uint64_t(height);
    if (!whole || cells > in.Remaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Navigation grid block is cut short (%u x %u cells)", width, height);
        return 0;
    }
    if (check && (magic != kMagic || version != kVersion))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Navigation grid block has magic %08X version %u", magic, version);
        return 0;
    }
    m_width = width;
    m_height = height;
    for (int i = 0; i < 4; ++i)
        m_origin[i] = origin[i];
    m_cellSize = cellSize;
    const uint8_t* data = static_cast<const uint8_t*>(buffer) + in.Position();
    m_cells.assign(data, data + cells);
    return kHeaderSize + size_t(cells);
}

NavigationGrid::~NavigationGrid() = default;

void NavigationGrid::AddDynamicCollisionMesh(Entity* mesh)
{
    m_dynamicMeshes.emplace_back(mesh);
    m_dynamicCollisionDirty = true;
}
