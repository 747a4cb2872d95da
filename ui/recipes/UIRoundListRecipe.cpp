#include "ui/recipes/UIRoundListRecipe.h"

#include "ui/widgets/UIRoundList.h"

RTTI_DEFINE_CLASS(UIRoundListRecipe, UIListRecipe)

void UIRoundListRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIRoundListRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Range from", &C::m_rangeFrom));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Range to", &C::m_rangeTo));
}

UIElement* UIRoundListRecipe::CreateWidget() const
{
    return new UIRoundList;
}

void UIRoundListRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIListRecipe::ApplyToElement(element, properties, buildFlags);
    if (auto* const list = dynamic_cast<UIRoundList*>(element))
        list->SetRange(m_rangeFrom, m_rangeTo);
}
