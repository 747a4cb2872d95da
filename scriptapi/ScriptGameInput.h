// The input methods of the script class "Game": forwards to the game's InputManager. Pad queries
// answer false, 0 or the zero vector while the project's "Enable controller" is off; vibration also
// needs "Enable controller vibrations" (project) and "XController vibrations" (user). Main thread.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>

class Game;
class LuaUnicodeString;
class UIScreen;

bool ScriptGameIsKeyPressed(Game* game, uint32_t code);
bool ScriptGameIsKeyPressedForTheFirstTime(Game* game, uint32_t code);
bool ScriptGameIsKeyReleasedForTheFirstTime(Game* game, uint32_t code);
// Mouse codes 0x10000-0x10005 only; key codes answer false.
bool ScriptGameIsMouseButtonPressed(Game* game, uint32_t code);
bool ScriptGameIsMouseButtonPressedForTheFirstTime(Game* game, uint32_t code);
bool ScriptGameIsMouseButtonReleasedForTheFirstTime(Game* game, uint32_t code);
Vector ScriptGameGetCursorPosition(Game* game);
bool ScriptGameIsCursorOnGameWindow(Game* game);
float ScriptGameGetMouseWheel(Game* game);
// In seconds.
float ScriptGameGetMouseDoubleClickTime(Game* game);

bool ScriptGameIsXControllerPresent(Game* game, uint32_t pad);
Vector ScriptGameGetXControllerAnalogInput(Game* game, uint32_t pad);
float ScriptGameGetXControllerLeftTriggerInput(Game* game, uint32_t pad);
float ScriptGameGetXControllerRightTriggerInput(Game* game, uint32_t pad);
bool ScriptGameIsXControllerKeyPressed(Game* game, uint32_t pad, uint32_t button);
bool ScriptGameIsXControllerKeyPressedForTheFirstTime(Game* game, uint32_t pad, uint32_t button);
bool ScriptGameIsXControllerKeyReleasedForTheFirstTime(Game* game, uint32_t pad, uint32_t button);
// Every enabled pad; the duration is the script's to keep (it stops the motors with 0, 0).
void ScriptGameVibrateXController(Game* game, float left, float right, float duration);
void ScriptGameEnableControllerInput(Game* game, uint32_t pad, bool on);

// One DirectInput pad: `pad` is not used; buttons 1-32.
bool ScriptGameIsDIControllerPresent(Game* game, uint32_t pad);
Vector ScriptGameGetDIControllerAnalogInput(Game* game, uint32_t pad);
bool ScriptGameIsDIControllerKeyPressed(Game* game, uint32_t pad, uint32_t button);
bool ScriptGameIsDIControllerKeyPressedForTheFirstTime(Game* game, uint32_t pad, uint32_t button);
// Names appended to a script string (emptied first when asked); DirectInput buttons 0-31.
void ScriptGameAppendDIDeviceName(Game* game, LuaUnicodeString* text, uint32_t pad, bool clearFirst);
void ScriptGameAppendDIKeyName(Game* game, LuaUnicodeString* text, uint32_t button, bool clearFirst);
void ScriptGameGetKeyName(Game* game, LuaUnicodeString* text, uint32_t scanCode, bool clearFirst);

void ScriptGameSetTapMoveThreshold(Game* game, float threshold);
void ScriptGameEnableMouseTapEmulation(Game* game, bool on);
bool ScriptGameIsMouseTapEmulationEnabled(Game* game);
uint32_t ScriptGameGetNewTap(Game* game, uint32_t& source);
// Taps inside the element's hit-test quad of the screen's last draw (none for a null screen).
uint32_t ScriptGameGetNewTapForUIElement(Game* game, UIScreen* screen, uint32_t elementId, uint32_t& source);
bool ScriptGameIsTapWithinUIElement(Game* game, uint32_t id, UIScreen* screen, uint32_t elementId);
uint32_t ScriptGameGetNextReleasedTap(Game* game);
uint32_t ScriptGameGetNextTapId(Game* game, uint32_t id);
bool ScriptGameIsTapStillActive(Game* game, uint32_t id);
void ScriptGameCancelTapAsClick(Game* game, uint32_t id);
void ScriptGameMarkTapRetrieved(Game* game, uint32_t id);
// The current position; `start` receives the start. Scripts pass numbers for the other outputs
// and get them back as further results.
Vector ScriptGameGetTapPosition(Game* game, uint32_t id, Vector& start, uint32_t& source, float& distance,
                                float& duration);
