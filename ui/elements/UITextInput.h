// UITextInput: a narrow-text input line (one byte per character) with a caret and a selection that
// extends from an anchor; the in-game console edits its commands in one. Main thread only.
#pragma once

#include "ui/elements/UITextInputCore.h"

#include <cstdint>

// An editable narrow text element.
class UITextInput : public UITextInputCore<char>
{
public:
    UITextInput(const char* fontName, uint32_t fontSize, uint32_t maxLength = 1023);
    bool IsUITextInput() const override { return true; }
    bool FollowsParentEnableState() const override { return true; }

    // Copies at most the maximum length of `text` (null: empty) and shows it; the caret goes to the end.
    void SetText(const char* text) { AssignText(text); }
    // Moves the caret by `delta`, clamped to the text. With `extend` the selection runs from the
    // anchor (the caret before the first extending move) to the caret; without, it is cleared.
    void SetCursorPosition(int32_t delta, bool extend) { MoveCursor(delta, extend); }
    // The highlight element (released with its predecessor's Release) becomes a child; the
    // selection is cleared.
    void SetSelectionElement(UIElement* element);
    UIElement* GetSelectionElement() const { return m_selectionElement; }
};
