#include "ui/widgets/GameStringPartitioner.h"

#include "core/console/GameConsole.h"
#include "ui/elements/UIText.h"
#include "ui/text/StringManager.h"

#include <algorithm>
#include <cmath>

namespace
{
UIText* AsText(UIElement* element)
{
    return element != nullptr && element->IsUIText() ? static_cast<UIText*>(element) : nullptr;
}
} // namespace

void GameStringPartitioner::Reset()
{
    m_parts.clear();
    m_end = nullptr;
    m_currentPart = 0;
    m_partDuration = 1.0f;
    m_fadeTime = 0.3f;
    m_actionFlags = 0;
    m_textElement = nullptr;
    m_speakerText = nullptr;
    m_loadCount = 0;
}

bool GameStringPartitioner::StartGameStringPartitioning(const char* stringId, UIElement* textElement, float totalTime)
{
    if (stringId == nullptr || stringId[0] == 0)
        return false;
    const char16_t* text = gStringManager != nullptr
                               ? gStringManager->GetStringNeutral(stringId, kCurrentLanguage, &m_speakerText, true, true)
                               : nullptr;
    if (text == nullptr)
    {
        // Scripts hear only whether they gave an element: a missing string shows nothing.
        gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_RESOURCE, "stringId %s is empty!", stringId);
        return textElement != nullptr;
    }
    if (textElement == nullptr)
        return false;
    // A reused partitioner starts over rather than appending to the earlier string's parts.
    m_parts.clear();
    m_parts.push_back(text);
    const char16_t* c = text;
    for (; *c != 0; ++c)
        if (*c == u'\n' && c[1] != 0)
            m_parts.push_back(c + 1);
    // A line feed that ends the string ends the last part without being shown.
    m_end = c != text && c[-1] == u'\n' ? c - 1 : c;
    m_loadCount = gStringManager->GetLoadCount();
    m_partDuration = totalTime / float(m_parts.size());
    m_textElement = textElement;
    ShowPart(0);
    return true;
}

void GameStringPartitioner::Update(float elapsed)
{
    if (m_currentPart == -1)
        return;
    // The parts point into the string table; once it is loaded again they are gone.
    if (gStringManager == nullptr || gStringManager->GetLoadCount() != m_loadCount)
    {
        m_parts.clear();
        m_currentPart = -1;
        return;
    }
    // Time before the start shows the first part, never part -1.
    const float part = m_partDuration > 0.0f ? std::trunc(elapsed / m_partDuration) : float(m_parts.size());
    const int32_t k = part > 0.0f ? int32_t(std::min(part, float(m_parts.size()))) : 0;
    if (k == m_currentPart)
        return;
    if (size_t(k) < m_parts.size())
        ShowPart(k);
    else
        m_currentPart = -1;
}

void GameStringPartitioner::Clear()
{
    if (m_textElement == nullptr)
        return;
    m_textElement->RemoveAllActions(-1);
    if (UIText* text = AsText(m_textElement))
        text->SetTextSmooth(m_fadeTime, nullptr, 0, 0);
}

void GameStringPartitioner::ShowPart(int32_t index)
{
    if (index < 0 || size_t(index) >= m_parts.size())
        return;
    const char16_t* start = m_parts[size_t(index)];
    // A part runs to the line feed before the next part.
    const char16_t* end = size_t(index) + 1 < m_parts.size() ? m_parts[size_t(index) + 1] - 1 : m_end;
    char16_t buffer[kMaxPartLength + 1];
    const size_t length = std::min<size_t>(size_t(end - start), kMaxPartLength);
    std::copy(start, start + length, buffer);
    buffer[length] = 0;
    if (m_textElement != nullptr)
    {
        m_textElement->RemoveAllActions(-1);
        if (UIText* text = AsText(m_textElement))
            text->SetTextSmooth(m_fadeTime, buffer, m_actionFlags, 0);
    }
    m_currentPart = index;
}
