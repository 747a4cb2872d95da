#include "ui/elements/UITextBase.h"

#include "core/strings/StringUtils.h"
#include "core/threads/CommandRingBuffer.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "platform/os/CodePage.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceFont.h"
#include "renderer/resources/ResourceManager.h"
#include "ui/elements/UICommand.h"
#include "ui/screens/UIScreen.h"
#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"
#include "ui/text/UIFontTable.h"
#include "ui/widgets/UITextActions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace
{
namespace rp = renderpayload;
constexpr RenderCallFunction kTextBaseTrampoline = &UICommandTrampoline<&UITextBase::RunTextCommand>;
// Text per command, in bytes: a longer text goes as several commands, each well inside a block.
constexpr size_t kTextChunkBytes = 2048;

constexpr size_t kFontNameCapacity = 260;
// Languages whose replacement fonts wrap text at any character.
constexpr uint32_t kLanguageJapanese = 6;
constexpr uint32_t kLanguageChinese = 7;
constexpr uint32_t kLanguageKorean = 10;

UITextBase* gFirstLive = nullptr;
UITextBase* gLastLive = nullptr;

std::string LowerFontName(const char* name)
{
    std::string lower;
    for (const char* c = name; c != nullptr && *c != 0 && lower.size() < kFontNameCapacity - 1; ++c)
        lower.push_back(char(std::tolower(uint8_t(*c))));
    return lower;
}

// Components of `a` divided (measuring) or multiplied (drawing) by `b`.
Vector MultiplyComponents(const Vector& a, const Vector& b)
{
    return Vector(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}

Vector DivideComponents(const Vector& a, const Vector& b)
{
    return Vector(a.x / b.x, a.y / b.y, a.z / b.z, a.w / b.w);
}
} // namespace

uint32_t QuantizeFontPixelSize(uint32_t size)
{
    if (size > 255)
        return 255;
    if (size > 128)
        return size / 20 * 20;
    if (size > 64)
        return size / 10 * 10;
    if (size > 32)
        return size / 6 * 6;
    if (size > 16)
        return size / 4 * 4;
    if (size < 9)
        return size;
    return size / 2 * 2;
}

uint32_t PictureAtlasFrameSize(uint32_t format, uint32_t count)
{
    switch (format)
    {
    case 0: return 12 * count; // PICTUREATLAS_POSITION3
    case 1: return 8 * count;  // PICTUREATLAS_MAPPING2
    case 2:                    // PICTUREATLAS_SHADERPARAM4
    case 3: return 16 * count; // PICTUREATLAS_COLOR4
    default: return 0;
    }
}

UITextBase::UITextBase(const char* fontName, uint32_t fontSize) : m_fontName(LowerFontName(fontName)), m_fontSize(fontSize)
{
    m_previousLive = gLastLive;
    (gLastLive != nullptr ? gLastLive->m_nextLive : gFirstLive) = this;
    gLastLive = this;
    SetReplacementContainer(&gDefaultReplacementContainer);
}

UITextBase::~UITextBase()
{
    // An element deleted without Release leaves the list here.
    LeaveLiveList();
    SetReplacementContainer(nullptr);
    // Both references die with the element: the main one is still held when no Release ran.
    if (m_font != nullptr)
        m_font->Release();
    SetRenderFont(nullptr);
}

void UITextBase::LeaveLiveList()
{
    if (!m_live)
        return;
    (m_previousLive != nullptr ? m_previousLive->m_nextLive : gFirstLive) = m_nextLive;
    (m_nextLive != nullptr ? m_nextLive->m_previousLive : gLastLive) = m_previousLive;
    m_previousLive = m_nextLive = nullptr;
    m_live = false;
}

void UITextBase::SetResourceFlags(uint32_t flags)
{
    if (m_font != nullptr && gResourceManager != nullptr)
        gResourceManager->SetResourceFlags(m_font, flags);
}

void UITextBase::OnRemoved()
{
    // A released element leaves the list at once: its deletion is already queued, so a refresh must
    // not send it commands the render side would run on freed memory.
    LeaveLiveList();
    if (m_font != nullptr)
        m_font->Release();
    m_font = nullptr;
    UIElement::OnRemoved();
}

void UITextBase::OnNarrowText(const char* text)
{
    m_mainText.clear();
    if (text == nullptr)
        return;
    const size_t length = std::strlen(text);
    m_mainText.resize(length);
    m_mainText.resize(os::NarrowToWide(os::kCodePageSystem, text, length, m_mainText.data(), length));
}

void UITextBase::OnWideText(const char16_t* text)
{
    m_mainText = text != nullptr ? text : u"";
}

void UITextBase::SetText(const char* text)
{
    m_stringPath.Set(nullptr);
    OnNarrowText(text);
}

void UITextBase::SetTextUnicharPtr(const char16_t* text)
{
    m_stringPath.Set(nullptr);
    OnWideText(text);
}

const char16_t* UITextBase::LookUp(const char* path) const
{
    if (gStringManager == nullptr)
        return nullptr;
    return gStringManager->GetString(path, m_speakerGender, m_receiverGender, kCurrentLanguage, nullptr, true, true);
}

void UITextBase::SetLocalizedText(const char* path)
{
    m_stringPath.Set(path);
    OnWideText(LookUp(path));
}

std::u16string UITextBase::TextToShow(const char16_t* text) const
{
    if (m_stringPath.IsEmpty() || text == nullptr)
        return text != nullptr ? text : u"";
    return ExpandTextVariables(text, m_replacements);
}

void UITextBase::SendWideText(uint32_t setId, const char16_t* text, size_t length)
{
    size_t start = 0;
    uint32_t id = setId;
    do
    {
        size_t count = std::min(length - start, kTextChunkBytes / sizeof(char16_t));
        // A part ends before a blank where it can: line breaking then sees whole words, and the
        // blank that separates them starts the next part.
        if (start + count < length)
            for (size_t end = count; end > count / 2; --end)
                if (text[start + end] == u' ' || text[start + end] == u'\n' || text[start + end] == u'\t')
                {
                    count = end;
                    break;
                }
        const uint32_t bytes = uint32_t((count + 1) * sizeof(char16_t));
        UICommand command(kTextBaseTrampoline, &UITextBase::RunTextCommand, id, this, rp::kU32 + bytes);
        command.Put(uint32_t(count));
        command.Write(text + start, uint32_t(count * sizeof(char16_t)));
        command.Put(char16_t(0));
        start += count;
        id = UITEXT_CMD_APPEND_WIDE;
    } while (start < length);
}

void UITextBase::SendNarrowText(uint32_t setId, const char* text, size_t length)
{
    size_t start = 0;
    uint32_t id = setId;
    do
    {
        const size_t count = std::min(length - start, kTextChunkBytes);
        UICommand command(kTextBaseTrampoline, &UITextBase::RunTextCommand, id, this, rp::kU32 + uint32_t(count + 1));
        command.Put(uint32_t(count));
        command.Write(text + start, uint32_t(count));
        command.Put(char(0));
        start += count;
        id = UITEXT_CMD_APPEND_NARROW;
    } while (start < length);
}

void UITextBase::SetShadowPosition(const Vector& offset)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_SHADOW_POSITION, this, rp::kVector)
        .Put(offset);
}

void UITextBase::SetShadowColor(const Vector& color)
{
    SetLinearShadowColor(Vector(std::pow(color.x, 2.2f), std::pow(color.y, 2.2f), std::pow(color.z, 2.2f), color.w));
}

void UITextBase::SetLinearShadowColor(const Vector& color)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_SHADOW_COLOR, this, rp::kVector).Put(color);
}

void UITextBase::SetOutlineColor(const Vector& color)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_SECOND_COLOR, this, rp::kVector).Put(color);
}

void UITextBase::SetBottomColor(const Vector& colorAndFactor)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_TINT, this, rp::kVector).Put(colorAndFactor);
}

void UITextBase::SetAlignment(uint32_t horizontal, uint32_t vertical)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_ALIGNMENT, this, 2 * rp::kU32)
        .Put(horizontal)
        .Put(vertical);
}

void UITextBase::SetTextConversion(uint8_t mode)
{
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_TEXT_CONVERSION, this, rp::kU8).Put(mode);
}

void UITextBase::AppendText(const char* text)
{
    m_stringPath.Set(nullptr);
    SendNarrowText(UITEXT_CMD_APPEND_NARROW, text != nullptr ? text : "", text != nullptr ? std::strlen(text) : 0);
}

void UITextBase::AppendTextWide(const char16_t* text)
{
    m_stringPath.Set(nullptr);
    SendWideText(UITEXT_CMD_APPEND_WIDE, text != nullptr ? text : u"", text != nullptr ? WideStringLength(text) : 0);
}

void UITextBase::AppendLocalizedText(const char* path)
{
    m_stringPath.Set(nullptr);
    const std::u16string text = ExpandTextVariables(LookUp(path), m_replacements);
    SendWideText(UITEXT_CMD_APPEND_WIDE, text.c_str(), text.size());
}

void UITextBase::SetTextSmooth(float time, const char16_t* text, uint32_t flags, uint32_t channel)
{
    m_stringPath.Set(nullptr);
    AddAction(new (std::nothrow) UIActionTextXFadeHelper(time, true, nullptr, flags, channel));
    if (text != nullptr)
        AddAction(new (std::nothrow) UIActionTextXFadeHelper(time, false, text, flags, channel));
}

void UITextBase::BlendInTextPerChar(float time, uint32_t flags, uint32_t channel, float step, UIElement* follower)
{
    AddAction(new (std::nothrow) UIActionTextPerCharBlendIn(time, step, follower, flags, channel));
}

void UITextBase::SetCharacterSpacing(int32_t spacing)
{
    m_characterSpacing = spacing;
    if (m_font != nullptr)
        SendFont();
}

void UITextBase::SetLocalizedTextSmooth(float time, const char* path, uint32_t flags, uint32_t channel)
{
    const char16_t* text = LookUp(path);
    const std::u16string expanded = ExpandTextVariables(text, m_replacements);
    SetTextSmooth(time, text != nullptr ? expanded.c_str() : nullptr, flags, channel);
}

float UITextBase::GetFontHeight() const
{
    if (m_font == nullptr)
        return 0.0f;
    return float(m_font->GetLineHeight()) * m_textScale.y;
}

Vector UITextBase::GetTextSize(const char16_t* text) const
{
    if (m_font == nullptr)
        return Vector(0.0f, 0.0f, 0.0f, 0.0f);
    return DivideComponents(m_font->GetTextExtent(text, m_characterSpacing, -1, false), m_textScale);
}

Vector UITextBase::GetDrawnTextSize(const char16_t* text) const
{
    if (m_font == nullptr)
        return Vector(0.0f, 0.0f, 0.0f, 0.0f);
    return MultiplyComponents(m_font->GetTextExtent(text, m_characterSpacing, -1, false), m_textScale);
}

Vector UITextBase::GetLocalizedTextSize(const char* path) const
{
    return GetDrawnTextSize(LookUp(path));
}

void UITextBase::RefreshForInputMode()
{
    RebuildInputIcons();
    RefreshLocalizedText();
}

uint32_t UITextBase::RefreshLocalizedText()
{
    if (m_stringPath.IsEmpty())
        return 0;
    OnWideText(LookUp(m_stringPath.CStr()));
    return uint32_t(GetExpandedText().size());
}

void UITextBase::RefreshAllLocalizedTexts()
{
    for (UITextBase* text = gFirstLive; text != nullptr; text = text->m_nextLive)
        text->RefreshForInputMode();
}

void UITextBase::ClearAllFonts()
{
    for (UITextBase* text = gFirstLive; text != nullptr; text = text->m_nextLive)
        text->ClearFont();
}

void UITextBase::RefreshAllFonts()
{
    for (UITextBase* text = gFirstLive; text != nullptr; text = text->m_nextLive)
        text->RefreshFont();
}

void UITextBase::ReloadAllFonts()
{
    ClearAllFonts();
    if (gRenderer != nullptr && gRenderer->IsStreamOpen())
        gRenderer->SubmitCommands(true);
    if (gResourceManager != nullptr && gResourceManager->IsInitialised())
    {
        gResourceManager->PostCommand(RESOURCE_POOL_FONTS, 0, 0);
        gResourceManager->Flush();
    }
    for (UITextBase* text = gFirstLive; text != nullptr; text = text->m_nextLive)
        text->RefreshFontAndText();
}

void UITextBase::RefreshFontAndText()
{
    RefreshFont();
    RefreshForInputMode();
}

void UITextBase::SetReplacementContainer(StringReplacementContainer* container)
{
    if (m_replacements != nullptr)
        m_replacements->Release();
    m_replacements = nullptr;
    if (container == nullptr)
        return;
    m_replacements = container->GetInternals();
    m_replacements->AddRef();
}

std::u16string UITextBase::GetExpandedText() const
{
    return ExpandTextVariables(m_mainText.c_str(), m_replacements);
}

void UITextBase::SetFont(const char* name, uint32_t size, bool uiScaling, uint32_t outlineWidth)
{
    m_fontName = LowerFontName(name);
    m_fontSize = size;
    m_uiScaling = uiScaling;
    m_outlineWidth = outlineWidth;
    ResolveFont();
}

void UITextBase::ClearFont()
{
    if (m_font != nullptr)
        m_font->Release();
    m_font = nullptr;
    UICommand(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_RELEASE_FONT, this, 0);
}

void UITextBase::RefreshFont()
{
    ResolveFont();
}

void UITextBase::SendFont()
{
    // The render side holds a reference of its own, dropped when it takes another font.
    if (m_font != nullptr)
        m_font->AddRef();
    UICommand command(kTextBaseTrampoline, &UITextBase::RunTextCommand, UITEXT_CMD_SET_FONT, this,
                      rp::kPointer + rp::kVector + rp::kU8 + rp::kU32);
    if (!command.IsOpen())
    {
        if (m_font != nullptr)
            m_font->Release();
        return;
    }
    command.Put(m_font).Put(m_fontPixelSize).Put(m_characterWrap).Put(m_characterSpacing);
}

void UITextBase::ResolveFont()
{
    float screen = 1.0f;
    if (m_uiScaling)
    {
        const float uiWidth = gProjectConfig.m_uiScreenWidth;
        const float uiHeight = gProjectConfig.m_uiScreenHeight;
        if (uiWidth > 0.0f && uiHeight > 0.0f)
            screen = std::min(float(UIScreen::GetUIWidth()) / uiWidth, float(UIScreen::GetUIHeight()) / uiHeight);
        // No screen yet: fonts stay at their own size rather than dividing by zero below.
        if (!(screen > 0.0f))
            screen = 1.0f;
    }
    const uint32_t language = gStringManager != nullptr ? gStringManager->GetCurrentLanguage() : kTextLanguageEnglish;
    NameString fontName(m_fontName.c_str());
    float sizeScale = 1.0f;
    uint32_t granularity = 1;
    uint32_t maxSize = 0;
    uint32_t outline = m_outlineWidth;
    bool replaced = false;
    m_characterWrap = 0;
    NameString replacement;
    if (!m_noReplacement &&
        gProjectConfig.FindFontReplacement(language, fontName, replacement, sizeScale, granularity, maxSize))
    {
        replaced = true;
        fontName = replacement;
        outline = 0;
        m_characterWrap = language == kLanguageJapanese || language == kLanguageChinese || language == kLanguageKorean;
    }
    uint32_t wanted = uint32_t(std::floor(float(m_fontSize) * screen * sizeScale + 0.5f));
    float textScale = 1.0f;
    if (maxSize != 0 && wanted > maxSize)
    {
        textScale = float(wanted) / float(maxSize);
        wanted = maxSize;
    }
    wanted = QuantizeFontPixelSize(wanted);
    if (gUIFontTable != nullptr)
        wanted = gUIFontTable->ChooseSize(fontName, outline, wanted, textScale);
    char name[kFontNameCapacity + 64];
    const char* separator = replaced ? "_" : "";
    const char* languageName = replaced ? LanguageNameOfId(language) : "";
    if (outline != 0)
        std::snprintf(name, sizeof(name), "%s#%u~%03u%s%s", fontName.CStr(), outline, wanted, separator, languageName);
    else
        std::snprintf(name, sizeof(name), "%s~%03u%s%s", fontName.CStr(), wanted, separator, languageName);
    m_fontResourceName = name;
    ResourceFont* font = nullptr;
    if (gResourceManager != nullptr)
        font = static_cast<ResourceFont*>(gResourceManager->GetResource(RESOURCE_TYPE_FONT, name, 0, true, 0));
    if (font != nullptr)
        font->Load(true);
    if (m_font != nullptr)
        m_font->Release();
    m_font = font;
    m_fontPixelSize = Vector(textScale / screen, textScale / screen, 1.0f, 1.0f);
    SendFont();
}
