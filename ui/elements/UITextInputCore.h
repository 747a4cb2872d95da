// UITextInputCore: the editing both text inputs share, over characters of one byte (UITextInput)
// or two (UIUniTextInput): a zero-terminated buffer of at most the maximum length, the caret, the
// selected run and its anchor, and the two companion elements (caret and selection highlight) that
// it places where the font measures the text. Every change of the text is shown through the text
// element's setter. Main thread only.
#pragma once

#include "ui/elements/UIText.h"

#include <cstdint>
#include <memory>

// Text editing over characters of type Char (char or char16_t).
template <typename Char>
class UITextInputCore : public UIText
{
public:
    UITextInputCore(const char* fontName, uint32_t fontSize, uint32_t maxLength);
    bool IsPointerSelectable() const override { return true; }
    void OnRemoved() override;

    // Caret at `index`; the caret element moves to the measured extent of the text before it.
    void PlaceCursor(uint32_t index);
    // Start clamped to the length and length to what is left after it; the highlight is placed over
    // the run as the font measures it.
    void SetSelection(uint32_t start, uint32_t length);
    // With `remove`, cuts the selected run (the caret follows the text it was in); always clears the
    // selection and the anchor.
    void DeleteSelection(bool remove);
    // Replaces the selection by the character at the caret; in a full input the last character is
    // dropped, and a caret at the maximum takes nothing.
    void InsertChar(Char character);
    // Replaces the selection by as much of the zero-terminated text as fits between the caret and
    // the maximum; the characters after it that no longer fit are dropped.
    void InsertString(const Char* text);
    void DeleteBackward();
    void DeleteForward();
    // The caret element (released with its predecessor's Release) becomes a child; the caret is placed again.
    void SetCursorElement(UIElement* element);
    UIElement* GetCursorElement() const { return m_cursorElement; }

    const Char* GetBuffer() const { return m_buffer.get(); }
    uint32_t GetLength() const { return m_length; }
    uint32_t GetMaxLength() const { return m_maxLength; }
    uint32_t GetCursor() const { return m_cursor; }
    uint32_t GetSelectionStart() const { return m_selectionStart; }
    uint32_t GetSelectionLength() const { return m_selectionLength; }
    int32_t GetAnchor() const { return m_anchor; }

protected:
    // Copies at most the maximum length of the text and shows it; the caret goes to the end.
    void AssignText(const Char* text);
    // The caret moved by `delta` (clamped to the text); with `extend` the selection runs from the
    // anchor to it, otherwise the selection and anchor are cleared.
    void MoveCursor(int64_t delta, bool extend);
    void ReplaceElement(UIElement*& slot, UIElement* element);
    // Shows the buffer through the text element's setter.
    void Refresh();
    // The measured extent of `count` characters from `first`, times the text scale.
    Vector Measure(uint32_t first, uint32_t count) const;
    void Erase(uint32_t first, uint32_t count);

    UIElement* m_selectionElement = nullptr;

private:
    std::unique_ptr<Char[]> m_buffer;
    uint32_t m_length = 0;
    uint32_t m_maxLength;
    uint32_t m_cursor = 0;
    uint32_t m_selectionStart = 0;
    uint32_t m_selectionLength = 0;
    int32_t m_anchor = -1;
    UIElement* m_cursorElement = nullptr;
};

extern template class UITextInputCore<char>;
extern template class UITextInputCore<char16_t>;
