#include "ui/elements/UITextBox.h"

#include "core/strings/StringUtils.h"
#include "renderer/resources/ResourceFont.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UITextCommandArgs.h"
#include "ui/render/UIQuadBatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace
{
namespace rp = renderpayload;
constexpr RenderCallFunction kTextBoxTrampoline = &UICommandTrampoline<&UITextBase::RunTextCommand>;

Matrix TextBoxThen(const Matrix& first, const Matrix& second)
{
    Matrix result;
    result.Mul(second, first);
    return result;
}

bool EndsWord(char16_t c)
{
    return c == 0 || c == u'\t' || c == u'\n' || c == u' ';
}
} // namespace

UITextBox::UITextBox(const char* fontName, uint32_t fontSize) : UITextBase(fontName, fontSize)
{
    m_scriptClassName = "UITextBox";
}

// ---- Main thread ----

void UITextBox::OnNarrowText(const char* text)
{
    UITextBase::OnNarrowText(text);
    SendNarrowText(UITEXT_CMD_BOX_SET_NARROW, text != nullptr ? text : "", text != nullptr ? std::strlen(text) : 0);
}

void UITextBox::OnWideText(const char16_t* text)
{
    UITextBase::OnWideText(text);
    const std::u16string shown = TextToShow(text);
    SendWideText(UITEXT_CMD_BOX_SET_WIDE, shown.c_str(), shown.size());
}

void UITextBox::SetWideTextLimited(const char16_t* text, size_t maxLength)
{
    const size_t length = text != nullptr ? std::min(WideStringLength(text), maxLength) : 0;
    SetTextUnicharPtr(std::u16string(text != nullptr ? text : u"", length).c_str());
}

void UITextBox::Clear()
{
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_CLEAR, this, 0);
}

void UITextBox::RefreshFont()
{
    UITextBase::RefreshFont();
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_REFLOW, this, 0);
}

void UITextBox::SetLineSpacingScale(float scale)
{
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_LINE_SPACING, this, rp::kFloat).Put(scale);
}

void UITextBox::AlignToBottom(UIElement* element, float a, float b)
{
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_ALIGN_TO_BOTTOM, this,
              rp::kPointer + 2 * rp::kFloat)
        .Put(element)
        .Put(a)
        .Put(b);
}

void UITextBox::ResetBlendWindow()
{
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_RESET_BLEND, this, 0);
}

void UITextBox::SetLinesToRender(uint32_t first, uint32_t count)
{
    UICommand(kTextBoxTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_BOX_LINES_TO_RENDER, this, 2 * rp::kU32)
        .Put(first)
        .Put(count);
}

// ---- Render side: commands ----

void UITextBox::ExecuteKindCommand(uint32_t commandId, UITextCommandArgs& args)
{
    switch (commandId)
    {
    case UITEXT_CMD_BOX_CLEAR: ClearLines(); return;
    case UITEXT_CMD_BOX_REFLOW: Reflow(); return;
    case UITEXT_CMD_BOX_SET_NARROW:
    case UITEXT_CMD_BOX_SET_WIDE: ReplaceText(args.text.c_str()); return;
    case UITEXT_CMD_BOX_LINE_SPACING: SetRenderLineSpacingScale(args.a); return;
    case UITEXT_CMD_BOX_ALIGN_TO_BOTTOM:
    {
        if (args.element == nullptr || GetRenderFont() == nullptr)
            return;
        const Vector& at = args.element->GetRenderPosition();
        const float y = float(m_lines.size()) * LineHeight() * GetLineSpacingScale() * args.a + GetRenderPosition().y +
                        args.b;
        args.element->SetRenderPosition(Vector(at.x, y, at.z, at.w));
        return;
    }
    case UITEXT_CMD_BOX_RESET_BLEND: SetBlendWindow(0.0f, 1.0f); return;
    case UITEXT_CMD_BOX_LINES_TO_RENDER:
        m_firstLine = args.first;
        m_lineCount = args.second;
        m_windowSet = true;
        return;
    default: return;
    }
}

void UITextBox::ClearLines()
{
    m_fullText.clear();
    m_lines.clear();
    if (!m_windowSet)
        m_firstLine = m_lineCount = 0;
}

void UITextBox::Reflow()
{
    const std::u16string text = m_fullText;
    ClearLines();
    AddText(text.c_str());
}

void UITextBox::ReplaceText(const char16_t* text)
{
    std::u16string converted = text != nullptr ? text : u"";
    if (GetTextConversion() == UITEXTCONVERSION_UPPERCASE)
        WideStringToUpper(converted.data(), true);
    ClearLines();
    AddText(converted.c_str());
}

void UITextBox::SetRect(const Vector& size)
{
    UIElement::SetRect(size);
    Reflow();
}

// ---- Render side: line breaking ----

void UITextBox::AddText(const char16_t* text)
{
    if (GetRenderFont() == nullptr || text == nullptr)
        return;
    m_fullText += text;
    if (m_lines.empty())
        m_lines.emplace_back();
    if (GetRenderCharacterWrap() == 0)
        BreakWords(text);
    else
        BreakCharacters(text);
    const float pixelX = GetRenderFontPixelSize().x;
    for (Line& line : m_lines)
    {
        const size_t kept = line.text.find_last_not_of(u" \t");
        line.text.resize(kept == std::u16string::npos ? 0 : kept + 1);
        // The line feed that ends a line draws nothing, so the line's width ends at its last glyph.
        const size_t drawn = line.text.size() - (!line.text.empty() && line.text.back() == u'\n' ? 1 : 0);
        line.width = MeasureText(line.text.substr(0, drawn).c_str(), -1, false).x * pixelX;
        line.characters = uint32_t(line.text.size());
    }
    if (!m_windowSet)
    {
        m_firstLine = 0;
        m_lineCount = uint32_t(m_lines.size());
    }
}

void UITextBox::BreakWords(const char16_t* text)
{
    const float pixelX = GetRenderFontPixelSize().x;
    const float max = GetRenderSize().x;
    float w = m_lines.back().width;
    for (const char16_t* c = text; *c != 0;)
    {
        const char16_t* end = c;
        while (!EndsWord(*end))
            ++end;
        // The word takes its terminator along, a line feed too: the line's character count then
        // matches the full text that per-character effects count through.
        const bool lineFeed = *end == u'\n';
        const std::u16string word(c, *end != 0 ? end + 1 : end);
        const float width = MeasureText(word.c_str(), -1, true).x * pixelX;
        if (w + width > max && w > 0.0f)
        {
            m_lines.emplace_back();
            w = 0.0f;
        }
        m_lines.back().text += word;
        w += width;
        if (lineFeed)
        {
            m_lines.emplace_back();
            w = 0.0f;
        }
        c = *end != 0 ? end + 1 : end;
    }
}

void UITextBox::BreakCharacters(const char16_t* text)
{
    const float pixelX = GetRenderFontPixelSize().x;
    const float max = GetRenderSize().x;
    const bool tags = (GetRenderFlags() & UIFLAG_NOSPECIALTAGSUBSTITUTION) == 0;
    const size_t length = std::char_traits<char16_t>::length(text);
    size_t p = 0;
    while (p < length)
    {
        const float available = pixelX > 0.0f ? (max - m_lines.back().width) / pixelX : 0.0f;
        size_t k = 0;
        float sum = 0.0f;
        while (p + k < length)
        {
            size_t unit = 1;
            if (tags && text[p + k] == u'|')
            {
                const char16_t* close = std::char_traits<char16_t>::find(text + p + k + 1, length - p - k - 1, u'|');
                if (close != nullptr)
                    unit = size_t(close - (text + p + k)) + 1;
            }
            sum += MeasureText(std::u16string(text + p + k, unit).c_str(), -1, true).x;
            if (sum >= available)
                break;
            k += unit;
        }
        // Breaking at the last line feed that fits would keep the earlier ones inside the line and
        // lose the author's breaks; each one ends its line and is consumed, as in word wrap.
        const size_t firstLineFeed = std::u16string_view(text + p, k).find(u'\n');
        if (firstLineFeed != std::u16string_view::npos)
            k = firstLineFeed;
        // Every line takes at least one character, so a box narrower than one still progresses;
        // a line feed that comes first only ends the (empty) line and swallows nothing.
        else if (k == 0 && text[p] != u'\n')
            k = 1;
        // A line feed right where the width ends the line ends that line, not an empty one after it.
        const bool lineFeed = p + k < length && text[p + k] == u'\n';
        m_lines.back().text.append(text + p, k);
        m_lines.emplace_back();
        p += k + (lineFeed ? 1 : 0);
    }
    while (m_lines.size() > 1 && m_lines.back().text.empty())
        m_lines.pop_back();
}

// ---- Render side: drawing and positions ----

float UITextBox::LineHeight() const
{
    return GetRenderFont() != nullptr ? float(GetRenderFont()->GetLineHeight()) * GetRenderFontPixelSize().y : 0.0f;
}

float UITextBox::PenY(uint32_t lines) const
{
    const float h = LineHeight();
    const bool inBox = (GetRenderFlags() & UITEXTBOXFLAG_ALIGNWITHINBOX) != 0;
    switch (GetVerticalAlignment())
    {
    case TEXTVERTICALALIGNMENT_BOTTOM:
        return -std::floor(0.5f + h * float(lines)) + (inBox ? GetRenderSize().y : 0.0f);
    case TEXTVERTICALALIGNMENT_CENTER:
        return -std::floor(0.5f + h * (float(lines) + 0.5f) * 0.5f) + (inBox ? 0.5f * GetRenderSize().y : 0.0f);
    default: return 0.0f;
    }
}

float UITextBox::LineX(const Line& line) const
{
    const bool inBox = (GetRenderFlags() & UITEXTBOXFLAG_ALIGNWITHINBOX) != 0;
    switch (GetHorizontalAlignment())
    {
    case TEXTALIGNMENT_RIGHT: return -line.width + (inBox ? GetRenderSize().x : 0.0f);
    case TEXTALIGNMENT_CENTER: return -0.5f * line.width + (inBox ? 0.5f * GetRenderSize().x : 0.0f);
    default: return 0.0f;
    }
}

void UITextBox::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    if (GetRenderFont() == nullptr)
        return;
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(m_firstLine) + m_lineCount, m_lines.size()));
    if (m_firstLine >= end)
        return;
    // Text draws at once: quads queued before it must reach the screen first.
    FlushAllUIQuadBatches();
    const Vector& pixel = GetRenderFontPixelSize();
    const float advance = LineHeight() * GetLineSpacingScale();
    float y = PenY(end);
    uint32_t drawn = 0;
    Matrix scale;
    scale.LoadScale(Vector(pixel.x, pixel.y, 1.0f, 1.0f));
    for (uint32_t i = m_firstLine; i < end; ++i)
    {
        const Line& line = m_lines[i];
        Matrix at;
        at.LoadTranslation(LineX(line), y, 0.0f);
        Matrix lineMatrix = TextBoxThen(TextBoxThen(scale, at), matrix);
        SnapToPixels(lineMatrix);
        if (IsShadowEnabled())
        {
            Matrix shift;
            shift.LoadTranslation(GetShadowOffset().x / pixel.x, GetShadowOffset().y / pixel.y, 0.0f);
            Vector shadow = GetShadowColor();
            shadow.w *= color.w;
            int32_t budget = int32_t(line.characters);
            DrawTextRun(line.text.c_str(), TextBoxThen(shift, lineMatrix), shadow, shadow, shadow, mirrored, constants, true,
                        budget, GetBlendStep(), GetBlendBase() + GetBlendStep() * float(drawn));
        }
        int32_t budget = int32_t(line.characters);
        DrawTextRun(line.text.c_str(), lineMatrix, color, TintedColor(color), GetSecondColor(), mirrored, constants,
                    false, budget, GetBlendStep(), GetBlendBase() + GetBlendStep() * float(drawn));
        drawn += line.characters;
        y += advance;
    }
}

uint32_t UITextBox::GetLaidOutCharacterCount() const
{
    uint32_t count = 0;
    for (const Line& line : m_lines)
        count += line.characters;
    return count;
}

bool UITextBox::GetCharacterPosition(uint32_t index, Vector& position) const
{
    uint32_t lineIndex = 0;
    uint32_t before = 0;
    while (lineIndex < m_lines.size() && index >= before + m_lines[lineIndex].characters)
        before += m_lines[lineIndex++].characters;
    if (lineIndex >= m_lines.size() || GetRenderFont() == nullptr)
    {
        position.Set(0.0f, 0.0f, 0.0f, 1.0f);
        return true;
    }
    const Line& line = m_lines[lineIndex];
    const Vector& pixel = GetRenderFontPixelSize();
    const float y = PenY(uint32_t(m_lines.size())) + float(lineIndex) * LineHeight() * GetLineSpacingScale();
    const std::u16string head = line.text.substr(0, index - before);
    const float x = MeasureText(head.c_str(), -1, true).x * pixel.x + LineX(line);
    Matrix at;
    at.LoadTranslation(x, y, 0.0f);
    SnapToPixels(at);
    position.Set(at.rows[3].x, at.rows[3].y, 0.0f, 1.0f);
    return true;
}
