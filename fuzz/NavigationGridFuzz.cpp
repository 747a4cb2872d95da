// Navigation grid blocks over arbitrary bytes, read as scene files read them (magic and version not
// tested, only the sizes against the bytes there); a block that loads is then searched corner to
// corner, exactly and with the fallback to the closest tile, so a grid of any shape and tile flags
// is walked without reading outside its tiles.
#include "gameplay/navigation/PathFinder.h"

#include <cfloat>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NavigationGrid grid;
    const size_t used = grid.Load(data, size, false);
    if (used == 0)
        return 0;
    if (used != NavigationGrid::kHeaderSize + size_t(grid.GetWidth()) * grid.GetHeight() || used > size)
        __builtin_trap();
    if (grid.GetWidth() == 0 || grid.GetHeight() == 0)
        return 0;
    PathFinder finder;
    std::vector<PathPoint> path;
    const Vector from = grid.TileToWorld(0, 0);
    const Vector to = grid.TileToWorld(grid.GetWidth() - 1, grid.GetHeight() - 1);
    for (uint32_t flags : {0u, PathFinder::kExactDestination})
    {
        if (!finder.FindPath(&grid, from, to, flags, FLT_MAX))
            continue;
        while (finder.AStarSearch(64) == 1)
        {
        }
        if (finder.BuildPath(path) && path.back().tile != finder.GetDestinationTile())
            __builtin_trap();
    }
    return 0;
}
