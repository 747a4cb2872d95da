// UIUniTextInput: a UTF-16 text input that scripts feed with keys, characters and pasted text; the
// screen makes it the edited input when it is clicked and shows its caret element while editing.
// Main thread only.
#pragma once

#include "ui/elements/UITextInputCore.h"

#include <cstdint>

// An editable UTF-16 text element.
class UIUniTextInput : public UITextInputCore<char16_t>
{
public:
    // Virtual-key codes of the keys it handles.
    static constexpr uint32_t kKeyBackspace = 8;
    static constexpr uint32_t kKeyEnd = 35;
    static constexpr uint32_t kKeyHome = 36;
    static constexpr uint32_t kKeyLeft = 37;
    static constexpr uint32_t kKeyRight = 39;
    static constexpr uint32_t kKeyDelete = 46;
    // The step of End and Home: past any text the buffer can hold.
    static constexpr int32_t kLongStep = 65535;
    static constexpr uint32_t kDefaultMaxLength = 32;

    UIUniTextInput(const char* fontName, uint32_t fontSize, uint32_t maxLength = kDefaultMaxLength);
    bool IsUIUniTextInput() const override { return true; }

    // Empty text, caret and selection at 0.
    void ResetInput();
    // Backspace, Delete and the caret keys (End, Home, Left, Right, which clear the selection);
    // other codes are ignored.
    void ProcessKeyPressEvent(uint32_t key);
    void ProcessKeyCharEvent(char16_t character) { InsertChar(character); }
    void PasteString(const char16_t* text) { InsertString(text); }
    const char16_t* GetInputStringUnicharPtr() const { return GetBuffer(); }
    // The caret element, shown or hidden at once with its children (nothing without one).
    void ShowCursor();
    void HideCursor();
    // Pointer notifications: each logs the element's id and answers true.
    virtual bool OnMouseClick();
    virtual bool OnMouseDown();
    virtual bool OnMouseUp();
};
