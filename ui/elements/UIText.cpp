#include "ui/elements/UIText.h"

#include "core/strings/StringUtils.h"
#include "platform/os/CodePage.h"
#include "renderer/resources/ResourceFont.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UITextCommandArgs.h"
#include "ui/render/UIQuadBatch.h"

#include <algorithm>
#include <cstring>

namespace
{
namespace rp = renderpayload;
constexpr RenderCallFunction kTextTrampoline = &UICommandTrampoline<&UITextBase::RunTextCommand>;

Matrix Then(const Matrix& first, const Matrix& second)
{
    Matrix result;
    result.Mul(second, first);
    return result;
}
} // namespace

UIText::UIText(const char* fontName, uint32_t fontSize) : UITextBase(fontName, fontSize)
{
    m_scriptClassName = "UIText";
}

// ---- Main thread ----

void UIText::OnNarrowText(const char* text)
{
    const size_t length = text != nullptr ? std::min(std::strlen(text), kMaxTextLength) : 0;
    m_text.assign(text != nullptr ? text : "", length);
    UITextBase::OnNarrowText(m_text.c_str());
    SendNarrowText(UITEXT_CMD_TEXT_SET_NARROW, m_text.c_str(), m_text.size());
}

void UIText::OnWideText(const char16_t* text)
{
    const size_t length = text != nullptr ? std::min(WideStringLength(text), kMaxTextLength) : 0;
    const std::u16string cut(text != nullptr ? text : u"", length);
    UITextBase::OnWideText(cut.c_str());
    m_text.assign(cut.size() * 2 + 1, '\0');
    m_text.resize(os::WideToNarrow(os::kCodePageSystem, cut.data(), cut.size(), m_text.data(), m_text.size()));
    const std::u16string shown = TextToShow(cut.c_str());
    SendWideText(UITEXT_CMD_TEXT_SET_WIDE, shown.c_str(), std::min(shown.size(), kMaxTextLength));
}

void UIText::SetWideTextLimited(const char16_t* text, size_t maxLength)
{
    const size_t length = text != nullptr ? std::min(WideStringLength(text), maxLength) : 0;
    SetTextUnicharPtr(std::u16string(text != nullptr ? text : u"", length).c_str());
}

void UIText::CopyText(UIText* source, bool copyColor, bool move)
{
    if (source == nullptr)
        return;
    m_text = source->m_text;
    UITextBase::OnNarrowText(m_text.c_str());
    if (move)
    {
        source->m_text.clear();
        source->UITextBase::OnNarrowText("");
    }
    UICommand command(kTextTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_TEXT_COPY, this,
                      rp::kPointer + 2 * rp::kU8);
    command.Put(source).Put(uint8_t(copyColor ? 1 : 0)).Put(uint8_t(move ? 1 : 0));
}

void UIText::ResizeParentToMySize()
{
    UICommand(kTextTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_TEXT_RESIZE_PARENT, this, 0);
}

// ---- Render side ----

void UIText::ExecuteKindCommand(uint32_t commandId, UITextCommandArgs& args)
{
    switch (commandId)
    {
    case UITEXT_CMD_TEXT_SET_NARROW:
    case UITEXT_CMD_TEXT_SET_WIDE:
        args.text.resize(std::min(args.text.size(), kMaxTextLength));
        ReplaceText(args.text.c_str());
        return;
    case UITEXT_CMD_TEXT_COPY:
    {
        if (args.element == nullptr || !args.element->IsUIText())
            return;
        UIText* const source = static_cast<UIText*>(args.element);
        std::u16string text = source->m_renderText;
        if (args.flag != 0)
            source->ReplaceText(nullptr);
        if (args.byte != 0)
            SetRenderColor(source->GetRenderColor());
        ReplaceText(text.c_str());
        return;
    }
    case UITEXT_CMD_TEXT_RESIZE_PARENT:
    {
        UIElement* const parent = GetRenderParent();
        if (parent == nullptr)
            return;
        const Vector& scale = GetRenderScale();
        parent->SetRect(Vector(m_extent.x * scale.x, m_extent.y * scale.y, 0.0f, 0.0f));
        parent->SetRenderAnchor(m_offset);
        return;
    }
    default: return;
    }
}

void UIText::ReplaceText(const char16_t* text)
{
    std::u16string converted = text != nullptr ? text : u"";
    if (GetTextConversion() == UITEXTCONVERSION_UPPERCASE)
        WideStringToUpper(converted.data(), true);
    m_renderText = std::move(converted);
    UpdateLayout();
}

void UIText::AddText(const char16_t* text)
{
    if (text == nullptr)
        return;
    m_renderText += text;
    UpdateLayout();
}

void UIText::UpdateLayout()
{
    const uint32_t flags = GetRenderFlags();
    if ((flags & UIFLAG_FREEZEALIGNMENTOFFSET) != 0)
        return;
    m_extent = MeasureText(m_renderText.c_str(), -1, (flags & UIFLAG_APPENDSPACETOCOMPUTETEXTLENGTH) != 0);
    const ResourceFont* const font = GetRenderFont();
    m_offset.Set(0.0f, 0.0f, 0.0f, 0.0f);
    if (font == nullptr)
        return;
    if (GetHorizontalAlignment() == TEXTALIGNMENT_RIGHT)
        m_offset.Set(-m_extent.x, -m_extent.y, 0.0f, 0.0f);
    else if (GetHorizontalAlignment() == TEXTALIGNMENT_CENTER)
        m_offset.Set(-0.5f * m_extent.x, -0.5f * m_extent.y, 0.0f, 0.0f);
    const float lineHeight = float(font->GetLineHeight());
    if (GetVerticalAlignment() == TEXTVERTICALALIGNMENT_BOTTOM)
        m_offset.y = -lineHeight;
    else if (GetVerticalAlignment() == TEXTVERTICALALIGNMENT_CENTER)
        m_offset.y = -0.5f * lineHeight;
    else
        m_offset.y = 0.0f;
    const Vector& pixel = GetRenderFontPixelSize();
    m_offset.Set(m_offset.x * pixel.x, m_offset.y * pixel.y, 0.0f, 0.0f);
    m_extent.Set(m_extent.x * pixel.x, m_extent.y * pixel.y, 0.0f, 0.0f);
}

void UIText::GetScreenRect(Vector corners[4]) const
{
    const float right = m_offset.x + m_extent.x;
    const float bottom = m_offset.y + m_extent.y;
    corners[0].Set(m_offset.x, m_offset.y, 0.0f, 1.0f);
    corners[1].Set(right, m_offset.y, 0.0f, 1.0f);
    corners[2].Set(right, bottom, 0.0f, 1.0f);
    corners[3].Set(m_offset.x, bottom, 0.0f, 1.0f);
}

void UIText::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    if (GetRenderFont() == nullptr || m_renderText.empty())
        return;
    // Text draws at once: quads queued before it must reach the screen first.
    FlushAllUIQuadBatches();
    const Vector& pixel = GetRenderFontPixelSize();
    Matrix scale, offset;
    scale.LoadScale(Vector(pixel.x, pixel.y, 1.0f, 1.0f));
    offset.LoadTranslation(m_offset.x, m_offset.y, 0.0f);
    Matrix textMatrix = Then(Then(scale, offset), matrix);
    SnapToPixels(textMatrix);
    if (IsShadowEnabled())
    {
        Matrix shift;
        shift.LoadTranslation(GetShadowOffset().x / pixel.x, GetShadowOffset().y / pixel.y, 0.0f);
        Vector shadow = GetShadowColor();
        shadow.w *= color.w;
        int32_t budget = -1;
        DrawTextRun(m_renderText.c_str(), Then(shift, textMatrix), shadow, shadow, shadow, mirrored, constants, true,
                    budget, 0.0f, 1.0f);
    }
    int32_t budget = -1;
    DrawTextRun(m_renderText.c_str(), textMatrix, color, TintedColor(color), GetSecondColor(), mirrored, constants,
                false, budget, 0.0f, 1.0f);
}
