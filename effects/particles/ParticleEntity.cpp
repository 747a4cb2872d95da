#include "effects/particles/ParticleEntity.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS_TABLE(ParticleEntity, Entity)

void ParticleEntity::BuildClassProperties(RTTIPropertiesBase&) {}

void ParticleEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "ParticleEntity: particle playback is not built yet");
    }
}
