#include "ui/recipes/UIBlurRecipe.h"

#include "ui/elements/UIBlur.h"

RTTI_DEFINE_CLASS(UIBlurRecipe, UIElementRecipe)

void UIBlurRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIBlurRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Softness", &C::m_softness));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Pass count", &C::m_passCount));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Saturation", &C::m_saturation));
}

UIElement* UIBlurRecipe::CreateWidget() const
{
    return new UIBlur;
}

void UIBlurRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    UIBlur* const blur = dynamic_cast<UIBlur*>(element);
    if (blur == nullptr)
        return;
    blur->SetBlurParams(m_softness, m_passCount);
    blur->SetSaturation(m_saturation);
}
