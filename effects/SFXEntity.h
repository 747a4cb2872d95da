// SFXEntity: the entity a SFXTemplate makes, which plays the template's effect in the scene.
// Playback belongs to the effects work and is not built: the entity says so once in the log when
// it is first set up. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that plays a effect (not built yet).
class SFXEntity : public Entity
{
    RTTI_DECLARE_CLASS(SFXEntity, Entity)

public:
    void PostCreateInit() override;
};
