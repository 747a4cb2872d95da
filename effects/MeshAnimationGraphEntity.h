// MeshAnimationGraphEntity: the entity a MeshAnimationGraphTemplate makes, which drives a mesh
// through the template's states. Driving belongs to the animation work and is not built: the
// entity says so once in the log when it is first set up. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that plays an animation graph on a mesh (not built yet).
class MeshAnimationGraphEntity : public Entity
{
    RTTI_DECLARE_CLASS(MeshAnimationGraphEntity, Entity)

public:
    void PostCreateInit() override;
};
