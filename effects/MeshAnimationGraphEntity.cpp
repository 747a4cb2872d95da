#include "effects/MeshAnimationGraphEntity.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS_TABLE(MeshAnimationGraphEntity, Entity)

void MeshAnimationGraphEntity::BuildClassProperties(RTTIPropertiesBase&) {}

void MeshAnimationGraphEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "MeshAnimationGraphEntity: animation graph playback is not built yet");
    }
}
