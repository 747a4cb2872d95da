// FlagEntity: a marker placed from a FlagTemplate. Its connections into paths and their splines
// belong to the flag entities' own work; this kind adds nothing to Entity yet. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// A path marker entity.
class FlagEntity : public Entity
{
    RTTI_DECLARE_CLASS(FlagEntity, Entity)
};
