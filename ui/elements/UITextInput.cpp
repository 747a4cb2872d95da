#include "ui/elements/UITextInput.h"

#include <algorithm>

UITextInput::UITextInput(const char* fontName, uint32_t fontSize, size_t maxLength)
    : UIText(fontName, fontSize), m_maxLength(maxLength)
{
}

void UITextInput::SetCursorPosition(int32_t position, bool extend)
{
    const int32_t clamped = std::clamp(position, 0, int32_t(m_text.size()));
    if (extend)
    {
        if (m_anchor < 0)
            m_anchor = m_caret;
    }
    else
    {
        m_anchor = -1;
    }
    m_caret = clamped;
}

int32_t UITextInput::GetSelectionStart() const { return m_anchor < 0 ? m_caret : std::min(m_anchor, m_caret); }

int32_t UITextInput::GetSelectionEnd() const { return m_anchor < 0 ? m_caret : std::max(m_anchor, m_caret); }

bool UITextInput::DeleteSelection()
{
    const int32_t start = GetSelectionStart();
    const int32_t end = GetSelectionEnd();
    m_anchor = -1;
    if (start == end)
        return false;
    m_text.erase(size_t(start), size_t(end - start));
    m_caret = start;
    return true;
}

void UITextInput::DeleteBackward()
{
    if (DeleteSelection() || m_caret == 0)
        return;
    m_text.erase(size_t(m_caret - 1), 1);
    --m_caret;
}

void UITextInput::DeleteForward()
{
    if (DeleteSelection() || m_caret >= int32_t(m_text.size()))
        return;
    m_text.erase(size_t(m_caret), 1);
}

void UITextInput::InsertChar(char character)
{
    DeleteSelection();
    if (m_text.size() >= m_maxLength)
        return;
    m_text.insert(size_t(m_caret), 1, character);
    ++m_caret;
}

void UITextInput::SetInputText(const char* text)
{
    SetText(text);
    if (m_text.size() > m_maxLength)
        m_text.resize(m_maxLength);
    m_caret = int32_t(m_text.size());
    m_anchor = -1;
}
