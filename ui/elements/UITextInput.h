// UITextInput: a narrow-text input line (a UIText) with a caret and a selection that extends from
// an anchor. Main thread only.
#pragma once

#include "ui/elements/UIText.h"

#include <cstddef>
#include <cstdint>

// An editable text element.
class UITextInput : public UIText
{
public:
    UITextInput(const char* fontName, uint32_t fontSize, size_t maxLength = 1023);
    bool IsUITextInput() const override { return true; }
    bool IsPointerSelectable() const override { return true; }
    bool FollowsParentEnableState() const override { return true; }

    // Clamped to 0..length. With `extend` the selection runs from the anchor (the caret before the
    // first extending move) to the new caret; without it the selection is cleared.
    void SetCursorPosition(int32_t position, bool extend);
    int32_t GetCursorPosition() const { return m_caret; }
    // The selected range [start, end); empty when nothing is selected.
    int32_t GetSelectionStart() const;
    int32_t GetSelectionEnd() const;
    // Delete the selection, or else the character before (backward) or at (forward) the caret.
    void DeleteBackward();
    void DeleteForward();
    // Deletes the selection and inserts the character at the caret when the length allows.
    void InsertChar(char character);
    // Replaces the text (cut to the length limit); the caret goes to the end.
    void SetInputText(const char* text);
    size_t GetMaxLength() const { return m_maxLength; }

private:
    bool DeleteSelection();

    size_t m_maxLength;
    int32_t m_caret = 0;
    int32_t m_anchor = -1; // -1: no selection
};
