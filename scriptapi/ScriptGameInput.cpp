#include "scriptapi/ScriptGameInput.h"

#include "engine/Game.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputManager.h"
#include "platform/input/MouseMessages.h"
#include "platform/os/CodePage.h"
#include "scriptapi/LuaUnicodeString.h"

#include <string>

namespace
{
bool PadGate()
{
    return gProjectConfig.m_enableController;
}

bool IsMouseCode(uint32_t code)
{
    return code >= INPUT_MOUSE_LEFT && code <= INPUT_MOUSE_MIDDLE_DOUBLE_CLICK;
}

// Appends Windows-1252 text to the script string.
void AppendNarrow(LuaUnicodeString* text, const std::string& narrow, bool clearFirst)
{
    if (text == nullptr)
        return;
    std::u16string units;
    if (!clearFirst)
        units = text->GetUnicharPtr();
    const size_t oldLength = units.size();
    units.resize(oldLength + narrow.size());
    os::NarrowToWide(os::kCodePageSystem, narrow.data(), narrow.size(), units.data() + oldLength, narrow.size());
    text->Assign(units.c_str());
}
} // namespace

bool ScriptGameIsKeyPressed(Game* game, uint32_t code)
{
    return game->GetInputManager().IsKeyPressed(code);
}

bool ScriptGameIsKeyPressedForTheFirstTime(Game* game, uint32_t code)
{
    return game->GetInputManager().IsKeyPressedForTheFirstTime(code);
}

bool ScriptGameIsKeyReleasedForTheFirstTime(Game* game, uint32_t code)
{
    return game->GetInputManager().IsKeyReleasedForTheFirstTime(code);
}

bool ScriptGameIsMouseButtonPressed(Game* game, uint32_t code)
{
    return IsMouseCode(code) && game->GetInputManager().IsKeyPressed(code);
}

bool ScriptGameIsMouseButtonPressedForTheFirstTime(Game* game, uint32_t code)
{
    return IsMouseCode(code) && game->GetInputManager().IsKeyPressedForTheFirstTime(code);
}

bool ScriptGameIsMouseButtonReleasedForTheFirstTime(Game* game, uint32_t code)
{
    return IsMouseCode(code) && game->GetInputManager().IsKeyReleasedForTheFirstTime(code);
}

Vector ScriptGameGetCursorPosition(Game* game)
{
    return game->GetInputManager().GetCursorPosition();
}

bool ScriptGameIsCursorOnGameWindow(Game* game)
{
    return game->GetInputManager().IsCursorOnGameWindow();
}

float ScriptGameGetMouseWheel(Game* game)
{
    return game->GetInputManager().GetMouseWheel();
}

float ScriptGameGetMouseDoubleClickTime(Game*)
{
    return float(input::GetDoubleClickTimeMilliseconds()) * 0.001f;
}

bool ScriptGameIsXControllerPresent(Game* game, uint32_t pad)
{
    return PadGate() && game->GetInputManager().IsXControllerPresent(pad);
}

Vector ScriptGameGetXControllerAnalogInput(Game* game, uint32_t pad)
{
    return game->GetXControllerAnalogInput(pad);
}

float ScriptGameGetXControllerLeftTriggerInput(Game* game, uint32_t pad)
{
    return PadGate() ? game->GetInputManager().GetXControllerLeftTriggerInput(pad) : 0.0f;
}

float ScriptGameGetXControllerRightTriggerInput(Game* game, uint32_t pad)
{
    return PadGate() ? game->GetInputManager().GetXControllerRightTriggerInput(pad) : 0.0f;
}

bool ScriptGameIsXControllerKeyPressed(Game* game, uint32_t pad, uint32_t button)
{
    return PadGate() && game->GetInputManager().IsXControllerKeyPressed(button, pad);
}

bool ScriptGameIsXControllerKeyPressedForTheFirstTime(Game* game, uint32_t pad, uint32_t button)
{
    return PadGate() && game->GetInputManager().IsXControllerKeyPressedForTheFirstTime(button, pad);
}

bool ScriptGameIsXControllerKeyReleasedForTheFirstTime(Game* game, uint32_t pad, uint32_t button)
{
    return PadGate() && game->GetInputManager().IsXControllerKeyReleasedForTheFirstTime(button, pad);
}

void ScriptGameVibrateXController(Game* game, float left, float right, float)
{
    game->VibrateXController(left, right);
}

void ScriptGameEnableControllerInput(Game* game, uint32_t pad, bool on)
{
    game->GetInputManager().EnableControllerInput(on, pad);
}

bool ScriptGameIsDIControllerPresent(Game* game, uint32_t)
{
    return PadGate() && game->GetInputManager().IsDIControllerPresent();
}

Vector ScriptGameGetDIControllerAnalogInput(Game* game, uint32_t)
{
    return PadGate() ? game->GetInputManager().GetDIControllerAnalogInput() : Vector::ZERO4;
}

bool ScriptGameIsDIControllerKeyPressed(Game* game, uint32_t, uint32_t button)
{
    return PadGate() && game->GetInputManager().IsDIControllerKeyPressed(button);
}

bool ScriptGameIsDIControllerKeyPressedForTheFirstTime(Game* game, uint32_t, uint32_t button)
{
    return PadGate() && game->GetInputManager().IsDIControllerKeyPressedForTheFirstTime(button);
}

void ScriptGameAppendDIDeviceName(Game* game, LuaUnicodeString* text, uint32_t, bool clearFirst)
{
    std::string name;
    game->GetInputManager().AppendDIDeviceName(name, true);
    AppendNarrow(text, name, clearFirst);
}

void ScriptGameAppendDIKeyName(Game* game, LuaUnicodeString* text, uint32_t button, bool clearFirst)
{
    std::string name;
    game->GetInputManager().AppendDIKeyName(name, button, true);
    AppendNarrow(text, name, clearFirst);
}

void ScriptGameGetKeyName(Game* game, LuaUnicodeString* text, uint32_t scanCode, bool clearFirst)
{
    char name[256];
    game->GetInputManager().GetKeyName(name, sizeof(name), scanCode);
    AppendNarrow(text, name, clearFirst);
}

void ScriptGameSetTapMoveThreshold(Game*, float threshold)
{
    gTapMoveThreshold = threshold;
}

void ScriptGameEnableMouseTapEmulation(Game* game, bool on)
{
    game->GetInputManager().EnableMouseTapEmulation(on);
}

bool ScriptGameIsMouseTapEmulationEnabled(Game* game)
{
    return game->GetInputManager().IsMouseTapEmulationEnabled();
}

uint32_t ScriptGameGetNewTap(Game* game, uint32_t& source)
{
    return game->GetInputManager().GetNewTap(source);
}

uint32_t ScriptGameGetNewTapForUIElement(Game* game, UIScreen* screen, uint32_t elementId, uint32_t& source)
{
    source = 0;
    return screen != nullptr ? game->GetInputManager().GetNewTapForUIElement(screen, elementId, source) : 0;
}

bool ScriptGameIsTapWithinUIElement(Game* game, uint32_t id, UIScreen* screen, uint32_t elementId)
{
    return game->GetInputManager().IsTapWithinUIElement(id, screen, elementId);
}

uint32_t ScriptGameGetNextReleasedTap(Game* game)
{
    return game->GetInputManager().GetNextReleasedTap();
}

uint32_t ScriptGameGetNextTapId(Game* game, uint32_t id)
{
    return game->GetInputManager().GetNextTapId(id);
}

bool ScriptGameIsTapStillActive(Game* game, uint32_t id)
{
    return game->GetInputManager().IsTapStillActive(id);
}

void ScriptGameCancelTapAsClick(Game* game, uint32_t id)
{
    game->GetInputManager().CancelTapAsClick(id);
}

void ScriptGameMarkTapRetrieved(Game* game, uint32_t id)
{
    game->GetInputManager().MarkTapRetrieved(id);
}

Vector ScriptGameGetTapPosition(Game* game, uint32_t id, Vector& start, uint32_t& source, float& distance,
                                float& duration)
{
    return game->GetInputManager().GetTapPosition(id, source, start, distance, duration);
}
