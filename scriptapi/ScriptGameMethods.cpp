#include "scriptapi/ScriptGameMethods.h"

#include "engine/Game.h"

void ScriptGameSwitchScene(Game* game, const char* sceneName, uint8_t flags, uint8_t variation)
{
    if (game != nullptr)
        game->SwitchScene(sceneName, flags, variation, nullptr);
}
