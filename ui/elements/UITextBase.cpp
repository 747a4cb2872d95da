#include "ui/elements/UITextBase.h"

#include "core/strings/StringUtils.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "platform/os/CodePage.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceFont.h"
#include "renderer/resources/ResourceManager.h"
#include "ui/screens/UIScreen.h"
#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"
#include "ui/text/UIFontTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
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
    // A dying element leaves the list, so refreshes never reach freed memory.
    (m_previousLive != nullptr ? m_previousLive->m_nextLive : gFirstLive) = m_nextLive;
    (m_nextLive != nullptr ? m_nextLive->m_previousLive : gLastLive) = m_previousLive;
    SetReplacementContainer(nullptr);
    ClearFont();
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
    // Drawing enlarges the font's pixels by the text scale, so the measure does too: the size
    // reported is the size drawn.
    return MultiplyComponents(m_font->GetTextExtent(text, m_characterSpacing, -1, false), m_textScale);
}

Vector UITextBase::GetLocalizedTextSize(const char* path) const
{
    if (m_font == nullptr)
        return Vector(0.0f, 0.0f, 0.0f, 0.0f);
    return GetTextSize(LookUp(path));
}

void UITextBase::RefreshForInputMode()
{
    if (!m_stringPath.IsEmpty())
        OnWideText(LookUp(m_stringPath.CStr()));
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
    ResolveFont();
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
    ClearFont();
    m_font = font;
    m_fontPixelSize = Vector(textScale / screen, textScale / screen, 1.0f, 1.0f);
}
