// Pointer positions for scripts: the Game's input keeps every pointer that is down. Main thread only,
// like the input that writes the table, so the read takes no lock.
#include "engine/Game.h"
#include "engine/input/InputManager.h"
#include "ui/screens/UIScreen.h"

bool UIScreen::GetPointerPosition(uint32_t key, Vector& out) const
{
    return gGame.GetInputManager().GetPointerPosition(key, out);
}

bool UIScreen::GetPointerPositionXY(uint32_t key, float& x, float& y) const
{
    Vector position;
    if (!GetPointerPosition(key, position))
        return false;
    x = position.x;
    y = position.y;
    return true;
}
