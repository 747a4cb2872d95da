#include "scene/entities/SpatialQueryWalk.h"

EntityIndexMap& EntityIndexMap::Scratch()
{
    static EntityIndexMap map;
    return map;
}
