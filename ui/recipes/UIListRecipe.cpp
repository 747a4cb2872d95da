#include "ui/recipes/UIListRecipe.h"

#include "ui/widgets/UIList.h"

RTTI_DEFINE_CLASS(UIListRecipe, UIElementRecipe)

UIListRecipe::UIListRecipe()
{
    m_autoLayout = true;
    m_focusableWithMouse = true;
    m_clipChildren = true;
}

void UIListRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIListRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Selectable children", &C::m_selectableChildren));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Bypass Events", &C::m_bypassEvents));
}

UIElement* UIListRecipe::CreateWidget() const
{
    return new UIList;
}

void UIListRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    auto* const list = dynamic_cast<UIList*>(element);
    if (list == nullptr)
        return;
    list->SetSelectableChildren(m_selectableChildren);
    list->SetBypassEvents(m_bypassEvents);
}
