#include "ui/elements/UITextInput.h"

UITextInput::UITextInput(const char* fontName, uint32_t fontSize, uint32_t maxLength)
    : UITextInputCore<char>(fontName, fontSize, maxLength)
{
    m_scriptClassName = "UITextInput";
}

void UITextInput::SetSelectionElement(UIElement* element)
{
    ReplaceElement(m_selectionElement, element);
    SetSelection(0, 0);
}
