// PhysicalEffectEntity: the entity a PhysicalEffectTemplate makes. Playing the effect (spawning and
// simulating its pieces) belongs to the physics work, which is not built: the entity says so once
// in the log when it is first set up. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

// Entity that plays a physical effect (not built yet).
class PhysicalEffectEntity : public Entity
{
    RTTI_DECLARE_CLASS(PhysicalEffectEntity, Entity)

public:
    void PostCreateInit() override;
};
