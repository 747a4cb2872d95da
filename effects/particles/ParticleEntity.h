// ParticleEntity: the entity a ParticleTemplate makes, which plays the template's particle in the scene.
// Playback belongs to the effects work and is not built: the entity says so once in the log when
// it is first set up. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that plays a particle (not built yet).
class ParticleEntity : public Entity
{
    RTTI_DECLARE_CLASS(ParticleEntity, Entity)

public:
    void PostCreateInit() override;
};
