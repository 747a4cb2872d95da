#include "ui/recipes/UILayoutRecipe.h"

#include "ui/widgets/UILayout.h"

namespace
{
const char* const kLayoutTypes[] = {"Flow", "Grid(IN_PROGRESS)", nullptr};
const char* const kOrientations[] = {"VERTICAL", "HORIZONTAL", nullptr};
const char* const kAlignments[] = {"NONE", "LEFT", "RIGHT", "CENTER", "TOP", "BOTTOM", nullptr};
constexpr uint32_t kTypeCount = 2, kOrientationCount = 2, kAlignmentCount = 6;
constexpr uint32_t kTypeBits = 0x3, kOrientationBits = 0xC, kAlignmentBits = 0x3F0;

// One bit per value from `first`; a stored value past the list (a damaged record) sets none rather
// than shifting past the word.
uint32_t ChoiceBit(uint32_t first, uint32_t value, uint32_t count)
{
    return value < count ? first << value : 0;
}
} // namespace

RTTI_DEFINE_CLASS(UILayoutRecipe, UIElementRecipe)

UILayoutRecipe::UILayoutRecipe()
{
    m_transparent = true;
}

void UILayoutRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UILayoutRecipe;
    const auto enumeration = [&](const char* key, uint32_t C::*member, const char* const* names) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(key, member, RTTI_PROPERTY_ENUMERATION))
            ->SetEnumerationNames(names);
    };
    enumeration("Layout Type", &C::m_layoutType, kLayoutTypes);
    enumeration("Orientation", &C::m_orientation, kOrientations);
    enumeration("Alignment", &C::m_alignment, kAlignments);
    table.AddProperty(new RTTIPropertyGroup("Spacer", 0));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Left", &C::m_left));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Right", &C::m_right));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Top", &C::m_top));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Bottom", &C::m_bottom));
}

UIElement* UILayoutRecipe::CreateWidget() const
{
    return new UILayout;
}

uint32_t UILayoutRecipe::LayoutWord(uint32_t layoutType, uint32_t orientation, uint32_t alignment)
{
    return ChoiceBit(UILAYOUT_FLOW, layoutType, kTypeCount) | ChoiceBit(UILAYOUT_VERTICAL, orientation, kOrientationCount) |
           ChoiceBit(UILAYOUT_ALIGN_NONE, alignment, kAlignmentCount);
}

void UILayoutRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    auto* const layout = dynamic_cast<UILayout*>(element);
    if (layout == nullptr)
        return;
    const uint32_t kept = layout->GetLayoutFlags() & ~(kTypeBits | kOrientationBits | kAlignmentBits);
    layout->SetLayoutFlags(kept | LayoutWord(m_layoutType, m_orientation, m_alignment));
    layout->SetSpacers(UILayout::Spacers{m_left, m_right, m_top, m_bottom});
}
