// Gaussian smoothing of a found path, so that a character following it turns in curves rather than
// at tile corners. Pure function: any thread.
#pragma once

#include "gameplay/navigation/PathFinder.h"

#include <vector>

namespace PathSmoothing
{
// Replaces each point of a path of more than two points by the weighted mean of up to nine
// neighbours on each side (sigma 3.2 points), leaving out pairs that turn back sharply; each
// point keeps its packed tile.
void Smooth(std::vector<PathPoint>& points);
} // namespace PathSmoothing
