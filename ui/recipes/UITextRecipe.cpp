#include "ui/recipes/UITextRecipe.h"

#include "engine/config/ProjectConfig.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"
#include "ui/recipes/UIProperties.h"
#include "ui/screens/UIScreen.h"

#include <algorithm>
#include <cstring>

RTTI_DEFINE_CLASS(UITextRecipe, UIElementRecipe)

namespace
{
const char* const kHorizontalAlignments[] = {"Left", "Right", "Center", nullptr};
const char* const kVerticalAlignments[] = {"Up", "Down", "Center", nullptr};
const char* const kPixelPerfectModes[] = {"None", "Full", "Vertical", "Horizontal", nullptr};
// Editor flag of a name whose values the recipe offers (GetPropertyChoices).
constexpr uint32_t kOfferedNameFlag = 0x8000;
// The element flags of each "Pixel perfect" value: both axes, the vertical, the horizontal.
constexpr uint32_t kPixelPerfectFlags[] = {0, UIFLAG_PIXELPERFECTFONT, 0x40, 0x20};
} // namespace

void UITextRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UITextRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Font", &C::m_font));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Font size", &C::m_fontSize));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Text", &C::m_text));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Horizontal alignment",
                                                                    &C::m_horizontalAlignment,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kHorizontalAlignments);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Vertical alignment", &C::m_verticalAlignment,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kVerticalAlignments);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Bottom color", &C::m_bottomColor));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Character spacing", &C::m_characterSpacing));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Char spacing lo-res offset",
                                                                   &C::m_lowResolutionSpacingOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Line spacing", &C::m_lineSpacing));
    table.AddProperty(new RTTIPropertyGroup("Text options", 0));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Upper case", &C::m_upperCase));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Localized", &C::m_localized));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Input icons", &C::m_inputIcons));
    table.AddProperty(new RTTISGProperty<C, NameString>("Auto property", &C::SetAutoProperty,
                                                        &C::GetAutoPropertyAddress,
                                                        kOfferedNameFlag | RTTI_PROPERTY_ENUMERATION));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Wrap text", &C::m_wrapText));
    table.AddProperty(new RTTIPropertyGroup("Tertiary", 1));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Outline width", &C::m_outlineWidth));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Outline color", &C::m_outlineColor));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Shadow position", &C::m_shadowPosition));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Shadow color", &C::m_shadowColor));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Debug box", &C::m_debugBox));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Do not replace", &C::m_doNotReplace));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Pixel perfect", &C::m_pixelPerfect,
                                                                   RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kPixelPerfectModes);
}

UIElement* UITextRecipe::CreateWidget() const
{
    if (!m_wrapText)
        return new UIText("", m_fontSize);
    UITextBox* const box = new UITextBox("", m_fontSize);
    box->RaiseFlag(kRecipeTextBoxFlag);
    return box;
}

int32_t UITextRecipe::CharacterSpacingFor(uint32_t uiWidth, uint32_t uiHeight) const
{
    const bool lowResolution = uiWidth <= kLowResolutionWidth || uiHeight <= kLowResolutionHeight;
    // Summed wide: two stored extremes cannot overflow before the clamp.
    const int64_t spacing = int64_t(m_characterSpacing) + (lowResolution ? m_lowResolutionSpacingOffset : 0);
    return int32_t(std::clamp<int64_t>(spacing, -kMaxCharacterSpacing, kMaxCharacterSpacing));
}

void UITextRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    UITextBase* const text = dynamic_cast<UITextBase*>(element);
    if (text == nullptr)
        return;
    text->SetNoReplacement(m_doNotReplace);
    text->SetFont(m_font.CStr(), m_fontSize, true, m_outlineWidth);
    text->SetAlignment(m_horizontalAlignment, m_verticalAlignment);
    if (m_inputIcons)
        text->SetInputIcons((buildFlags & 0x1) != 0 ? 2 : 1);
    if (m_upperCase)
        text->SetTextConversion(UITEXTCONVERSION_UPPERCASE);
    if (m_localized)
        text->SetLocalizedText(m_text.CStr());
    else
        text->SetText(m_text.CStr());
    if (!m_autoProperty.IsEmpty() && !m_autoProperty.Equals(kNoAutoProperty))
        properties.Bind(m_autoProperty, text);
    text->SetCharacterSpacing(CharacterSpacingFor(UIScreen::GetUIWidth(), UIScreen::GetUIHeight()));
    if (m_pixelPerfect < std::size(kPixelPerfectFlags) && kPixelPerfectFlags[m_pixelPerfect] != 0)
        text->RaiseFlag(kPixelPerfectFlags[m_pixelPerfect]);
    Vector color;
    text->SetShadowPosition(m_shadowPosition);
    m_shadowColor.ToVectorRaw(color);
    text->SetShadowColor(color);
    m_outlineColor.ToVectorRaw(color);
    text->SetOutlineColor(color);
    m_bottomColor.ToVectorRaw(color);
    text->SetBottomColor(color);
    if (m_debugBox)
        text->RaiseFlag(UIFLAG_DRAWDEBUGBOX);
    if (element->IsUITextBox())
        static_cast<UITextBox*>(element)->SetLineSpacingScale(m_lineSpacing);
}

void UITextRecipe::GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const
{
    if (propertyName == nullptr || std::strcmp(propertyName, "Auto property") != 0)
    {
        UIElementRecipe::GetPropertyChoices(propertyName, choices);
        return;
    }
    choices.Add(NameString(kNoAutoProperty));
    for (const NameString& name : gProjectConfig.m_uiPropertyNames)
        choices.Add(name);
}
