#include "effects/SFXEntity.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS_TABLE(SFXEntity, Entity)

void SFXEntity::BuildClassProperties(RTTIPropertiesBase&) {}

void SFXEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "SFXEntity: effect playback is not built yet");
    }
}
