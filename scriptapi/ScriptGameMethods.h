// Script forms of Game methods whose C++ signature scripts cannot give directly. Main thread.
#pragma once

#include <cstdint>

class Game;

// Scripts switch without a semaphore; the variation is clamped by the Game.
void ScriptGameSwitchScene(Game* game, const char* sceneName, uint8_t flags, uint8_t variation);
