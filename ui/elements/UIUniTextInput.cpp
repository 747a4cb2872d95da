#include "ui/elements/UIUniTextInput.h"

#include "core/console/GameConsole.h"

UIUniTextInput::UIUniTextInput(const char* fontName, uint32_t fontSize, uint32_t maxLength)
    : UITextInputCore<char16_t>(fontName, fontSize, maxLength)
{
    m_scriptClassName = "UIUniTextInput";
}

void UIUniTextInput::ResetInput()
{
    AssignText(nullptr);
    DeleteSelection(false);
}

void UIUniTextInput::ProcessKeyPressEvent(uint32_t key)
{
    switch (key)
    {
    case kKeyBackspace: DeleteBackward(); return;
    case kKeyDelete: DeleteForward(); return;
    case kKeyEnd: MoveCursor(kLongStep, false); return;
    case kKeyHome: MoveCursor(-kLongStep, false); return;
    case kKeyLeft: MoveCursor(-1, false); return;
    case kKeyRight: MoveCursor(1, false); return;
    default: return;
    }
}

void UIUniTextInput::ShowCursor()
{
    if (GetCursorElement() != nullptr)
        GetCursorElement()->Show();
}

void UIUniTextInput::HideCursor()
{
    if (GetCursorElement() != nullptr)
        GetCursorElement()->Hide();
}

bool UIUniTextInput::OnMouseClick()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_REPORT, "Mouse click %u", GetId());
    return true;
}

bool UIUniTextInput::OnMouseDown()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_REPORT, "Mouse down %u", GetId());
    return true;
}

bool UIUniTextInput::OnMouseUp()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_REPORT, "Mouse up %u", GetId());
    return true;
}
