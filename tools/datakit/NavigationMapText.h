// Navigation grids for scene files from a small text map: one line per row of tiles, the first line
// being row 0 (tile y = 0) and the first character of a line column 0. Any thread.
#pragma once

#include "tools/datakit/SceneWriter.h"

#include <string>

// Text map reader: '.' a passable tile (walkable), '#' a blocked one (walkable and blocked), '~' a
// tile without ground (neither). Every row has the same length; a trailing empty line and
// carriage returns are ignored.
namespace NavigationMapText
{
// Fills width, height and cells of `grid` (origin and tile size are left as they are); false with
// `error` set for an unknown character or rows of different lengths.
bool Parse(const std::string& text, SceneNavigationGrid& grid, std::string& error);
} // namespace NavigationMapText
