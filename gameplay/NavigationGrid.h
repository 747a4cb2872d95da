// NavigationGrid: the scene's tile grid read from the scene file, owned by the entity manager.
// Tiles, loading and dynamic occupancy come with the pathfinding work; until then the block holds
// nothing and a load reports that. Main thread only.
#pragma once

#include <cstddef>

// The navigation grid block of a scene.
class NavigationGrid
{
public:
    // Bytes consumed; 0 (logged) while the grid cannot be read.
    size_t Load(const void* buffer, bool check);
};
