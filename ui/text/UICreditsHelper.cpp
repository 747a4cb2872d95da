#include "ui/text/UICreditsHelper.h"

#include "core/console/GameConsole.h"
#include "renderer/resources/ResourceFont.h"
#include "ui/elements/UITextBase.h"
#include "ui/text/StringManager.h"

#include <cstring>

namespace
{
bool EndsToken(char16_t c)
{
    return c == 0 || c == u'<' || c == u'\n' || c == u'>';
}
} // namespace

UICreditsHelper& UICreditsHelper::operator=(UICreditsHelper& other)
{
    if (this == &other)
        return *this;
    m_buffer = std::move(other.m_buffer);
    m_cursor = other.m_cursor;
    m_tokenEnd = other.m_tokenEnd;
    m_savedCharacter = other.m_savedCharacter;
    std::memcpy(m_tagName, other.m_tagName, sizeof(m_tagName));
    m_kind = other.m_kind;
    m_lineNumber = other.m_lineNumber;
    other.Clear();
    return *this;
}

void UICreditsHelper::Clear()
{
    m_buffer.reset();
    m_cursor = nullptr;
    m_tokenEnd = nullptr;
    m_savedCharacter = 0;
    m_tagName[0] = 0;
    m_kind = TOKEN_NONE;
    m_lineNumber = 0;
}

void UICreditsHelper::Open(const char* path)
{
    Clear();
    if (gStringManager == nullptr)
        return;
    OpenText(gStringManager->GetStringNeutral(path, kCurrentLanguage, nullptr, true, true));
}

void UICreditsHelper::OpenText(const char16_t* text)
{
    Clear();
    if (text == nullptr || text[0] == 0)
        return;
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    m_buffer = std::make_unique<char16_t[]>(length + 1);
    std::memcpy(m_buffer.get(), text, (length + 1) * sizeof(char16_t));
    m_cursor = m_buffer.get();
    SkipToken();
}

void UICreditsHelper::SyntaxError()
{
    gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Credits syntax error. Line: %d", int(m_lineNumber));
    m_cursor = nullptr;
    m_kind = TOKEN_NONE;
}

void UICreditsHelper::SkipToken()
{
    if (m_cursor == nullptr)
        return;
    if (m_kind == TOKEN_TAG)
    {
        *m_tokenEnd = m_savedCharacter;
        m_cursor = m_tokenEnd + 1;
    }
    else if (m_kind == TOKEN_TEXT)
    {
        *m_tokenEnd = m_savedCharacter;
        m_cursor = m_tokenEnd;
    }
    m_tagName[0] = 0;
    m_kind = TOKEN_NONE;
    for (;;)
    {
        const char16_t c = *m_cursor;
        if (c == 0)
        {
            m_cursor = nullptr;
            return;
        }
        if (c == u'\t' || c == u' ')
        {
            ++m_cursor;
            continue;
        }
        if (c == u'\n')
        {
            ++m_lineNumber;
            ++m_cursor;
            continue;
        }
        if (c == u'>')
            return SyntaxError();
        char16_t* end = m_cursor + 1;
        while (!EndsToken(*end))
            ++end;
        if (c == u'<')
        {
            if (*end != u'>')
                return SyntaxError();
            size_t length = 0;
            for (const char16_t* p = m_cursor + 1; p < end && length < kMaxTagLength; ++p)
                m_tagName[length++] = char(*p & 0xFF);
            m_tagName[length] = 0;
            m_kind = TOKEN_TAG;
        }
        else
            m_kind = TOKEN_TEXT;
        m_savedCharacter = *end;
        m_tokenEnd = end;
        *end = 0;
        return;
    }
}

void UICreditsHelper::TransferText(UITextBase* element, Vector* size) const
{
    Vector measured(0.0f, 0.0f, 0.0f, 0.0f);
    if (element != nullptr)
    {
        if (m_kind != TOKEN_TEXT)
            element->SetTextUnicharPtr(nullptr);
        else
        {
            element->SetTextUnicharPtr(m_cursor);
            // The element's own measure: the font's extent times the text scale, as drawn.
            if (ResourceFont* font = element->GetFont())
            {
                const Vector extent = font->GetTextExtent(m_cursor, 0, -1, false);
                const Vector& scale = element->GetTextScale();
                measured = Vector(extent.x * scale.x, extent.y * scale.y, extent.z * scale.z, extent.w * scale.w);
            }
        }
    }
    if (size != nullptr)
        *size = measured;
}
