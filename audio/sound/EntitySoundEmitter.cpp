#include "audio/sound/EntitySoundEmitter.h"

#include "core/console/GameConsole.h"

void EntitySoundEmitter::PostSetMatrix(EntitySoundEmitter*, const Matrix&)
{
    gConsole.Warning(CONSOLE_CHANNEL_SOUND, "EntitySoundEmitter::PostSetMatrix: entity sound emitters are not built yet");
}

void EntitySoundEmitter::PostDestroy(EntitySoundEmitter*)
{
    gConsole.Warning(CONSOLE_CHANNEL_SOUND, "EntitySoundEmitter::PostDestroy: entity sound emitters are not built yet");
}
