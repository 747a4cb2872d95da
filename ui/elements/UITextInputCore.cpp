#include "ui/elements/UITextInputCore.h"

#include "platform/os/CodePage.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
size_t TextLength(const char* text)
{
    return std::strlen(text);
}

size_t TextLength(const char16_t* text)
{
    return std::char_traits<char16_t>::length(text);
}

std::u16string Widen(const char* text, uint32_t count)
{
    std::u16string wide(count, u'\0');
    wide.resize(os::NarrowToWide(os::kCodePageSystem, text, count, wide.data(), wide.size() + 1));
    return wide;
}

std::u16string Widen(const char16_t* text, uint32_t count)
{
    return std::u16string(text, count);
}
} // namespace

template <typename Char>
UITextInputCore<Char>::UITextInputCore(const char* fontName, uint32_t fontSize, uint32_t maxLength)
    : UIText(fontName, fontSize), m_buffer(new Char[size_t(maxLength) + 1]()), m_maxLength(maxLength)
{
}

template <typename Char>
void UITextInputCore<Char>::OnRemoved()
{
    UIText::OnRemoved();
    m_buffer.reset(new Char[1]());
    m_length = m_maxLength = m_cursor = m_selectionStart = m_selectionLength = 0;
    // The companions were children: they went with the subtree.
    m_cursorElement = m_selectionElement = nullptr;
}

template <typename Char>
Vector UITextInputCore<Char>::Measure(uint32_t first, uint32_t count) const
{
    return GetDrawnTextSize(Widen(m_buffer.get() + first, count).c_str());
}

template <typename Char>
void UITextInputCore<Char>::Refresh()
{
    if constexpr (sizeof(Char) == 1)
        UITextBase::SetText(m_buffer.get());
    else
        UITextBase::SetTextUnicharPtr(m_buffer.get());
}

template <typename Char>
void UITextInputCore<Char>::PlaceCursor(uint32_t index)
{
    m_cursor = index;
    if (GetFont() != nullptr && m_cursorElement != nullptr)
        m_cursorElement->SetPosition(Measure(0, std::min(index, m_length)));
}

template <typename Char>
void UITextInputCore<Char>::SetSelection(uint32_t start, uint32_t length)
{
    start = std::min(start, m_length);
    length = std::min(length, m_length - start);
    if (GetFont() != nullptr && m_selectionElement != nullptr)
    {
        const Vector before = Measure(0, start);
        m_selectionElement->SetPosition(Vector(before.x, 0.0f, 0.0f, 0.0f));
        m_selectionElement->SetSize(Measure(start, length));
    }
    m_selectionStart = start;
    m_selectionLength = length;
}

template <typename Char>
void UITextInputCore<Char>::Erase(uint32_t first, uint32_t count)
{
    Char* const buffer = m_buffer.get();
    std::memmove(buffer + first, buffer + first + count, (m_length - first - count + 1) * sizeof(Char));
    m_length -= count;
}

template <typename Char>
void UITextInputCore<Char>::DeleteSelection(bool remove)
{
    if (remove && m_selectionLength != 0)
    {
        const uint32_t start = std::min(m_selectionStart, m_length);
        const uint32_t end = std::min(m_selectionStart + m_selectionLength, m_length);
        Erase(start, end - start);
        Refresh();
        if (m_cursor >= end)
            PlaceCursor(m_cursor - (end - start));
        else if (m_cursor > start)
            PlaceCursor(start);
    }
    SetSelection(0, 0);
    m_anchor = -1;
}

template <typename Char>
void UITextInputCore<Char>::InsertChar(Char character)
{
    DeleteSelection(true);
    // The caret can lie past the text only through a caller's bad index: it is taken back to the end.
    const uint32_t at = std::min(m_cursor, m_length);
    if (at >= m_maxLength)
        return;
    // In a full input the last character makes room.
    const uint32_t length = std::min(m_length + 1, m_maxLength);
    Char* const buffer = m_buffer.get();
    std::memmove(buffer + at + 1, buffer + at, (length - at - 1) * sizeof(Char));
    buffer[at] = character;
    buffer[length] = 0;
    m_length = length;
    Refresh();
    PlaceCursor(at + 1);
}

template <typename Char>
void UITextInputCore<Char>::InsertString(const Char* text)
{
    DeleteSelection(true);
    if (text == nullptr || text[0] == 0)
        return;
    const uint32_t at = std::min(m_cursor, m_length);
    // As much as fits between the caret and the maximum; the tail makes room as far as it must.
    const uint32_t count = uint32_t(std::min<size_t>(TextLength(text), m_maxLength - at));
    const uint32_t length = std::min(m_length + count, m_maxLength);
    Char* const buffer = m_buffer.get();
    std::memmove(buffer + at + count, buffer + at, (length - at - count) * sizeof(Char));
    std::memcpy(buffer + at, text, count * sizeof(Char));
    buffer[length] = 0;
    m_length = length;
    Refresh();
    PlaceCursor(at + count);
}

template <typename Char>
void UITextInputCore<Char>::DeleteBackward()
{
    if (m_selectionLength != 0)
    {
        DeleteSelection(true);
        return;
    }
    if (m_cursor == 0 || m_cursor > m_length)
        return;
    Erase(m_cursor - 1, 1);
    Refresh();
    PlaceCursor(m_cursor - 1);
}

template <typename Char>
void UITextInputCore<Char>::DeleteForward()
{
    if (m_selectionLength != 0)
    {
        DeleteSelection(true);
        return;
    }
    if (m_cursor >= m_length)
        return;
    Erase(m_cursor, 1);
    Refresh();
}

template <typename Char>
void UITextInputCore<Char>::AssignText(const Char* text)
{
    const size_t length = text != nullptr ? std::min<size_t>(TextLength(text), m_maxLength) : 0;
    if (length != 0)
        std::memcpy(m_buffer.get(), text, length * sizeof(Char));
    m_buffer[length] = 0;
    m_length = uint32_t(length);
    Refresh();
    PlaceCursor(m_length);
}

template <typename Char>
void UITextInputCore<Char>::MoveCursor(int64_t delta, bool extend)
{
    if (extend && m_anchor < 0)
        m_anchor = int32_t(m_cursor);
    // Signed before clamping: a large step back reaches the start instead of wrapping.
    PlaceCursor(uint32_t(std::clamp<int64_t>(int64_t(m_cursor) + delta, 0, m_length)));
    if (extend)
    {
        const uint32_t anchor = uint32_t(m_anchor);
        SetSelection(std::min(m_cursor, anchor), m_cursor > anchor ? m_cursor - anchor : anchor - m_cursor);
        return;
    }
    SetSelection(0, 0);
    m_anchor = -1;
}

template <typename Char>
void UITextInputCore<Char>::ReplaceElement(UIElement*& slot, UIElement* element)
{
    if (slot != nullptr)
        slot->Release();
    slot = element;
    if (element != nullptr)
        AddChild(element);
}

template <typename Char>
void UITextInputCore<Char>::SetCursorElement(UIElement* element)
{
    ReplaceElement(m_cursorElement, element);
    PlaceCursor(m_cursor);
}

template class UITextInputCore<char>;
template class UITextInputCore<char16_t>;
