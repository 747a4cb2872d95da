#include "gameplay/PhysicalEffectEntity.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS_TABLE(PhysicalEffectEntity, Entity)

void PhysicalEffectEntity::BuildClassProperties(RTTIPropertiesBase&) {}

void PhysicalEffectEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "PhysicalEffectEntity: physical effect playback is not built yet");
    }
}
