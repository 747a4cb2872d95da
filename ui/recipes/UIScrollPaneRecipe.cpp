#include "ui/recipes/UIScrollPaneRecipe.h"

#include "ui/widgets/UIScrollPane.h"

namespace
{
const char* const kScrollDirections[] = {"VERTICAL", "HORIZONTAL", "BOTH", nullptr};
} // namespace

RTTI_DEFINE_CLASS(UIScrollPaneRecipe, UIElementRecipe)

UIScrollPaneRecipe::UIScrollPaneRecipe()
{
    m_focusableWithMouse = true;
    m_stencilClipChildren = true;
}

void UIScrollPaneRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIScrollPaneRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Scroll dir", &C::m_scrollDirection,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kScrollDirections);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Disable Scroll Border", &C::m_disableScrollBorder));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Scroll border", &C::m_scrollBorder));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Enable click while scrolling", &C::m_clickWhileScrolling));
}

UIElement* UIScrollPaneRecipe::CreateWidget() const
{
    return new UIScrollPane;
}

void UIScrollPaneRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    auto* const pane = dynamic_cast<UIScrollPane*>(element);
    if (pane == nullptr)
        return;
    pane->SetScrollDirection(m_scrollDirection);
    pane->SetScrollBorder(m_scrollBorder);
    pane->SetDisableBorder(m_disableScrollBorder);
    pane->SetClickWhileScrolling(m_clickWhileScrolling);
}
