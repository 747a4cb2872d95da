#include "ui/recipes/UIScreenRecipe.h"

#include "ui/screens/UIScreen.h"

RTTI_DEFINE_CLASS(UIScreenRecipe, UIElementRecipe)

void UIScreenRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIScreenRecipe;
    table.AddProperty(new RTTIDynarrayProperty<C, int32_t>("Horizontal GuideLines", &C::m_horizontalGuideLines));
    table.AddProperty(new RTTIDynarrayProperty<C, int32_t>("Vertical GuideLines", &C::m_verticalGuideLines));
}

UIScreenRecipe::UIScreenRecipe()
{
    m_size = Vector(500.0f, 500.0f, 0.0f, 0.0f);
}

UIElement* UIScreenRecipe::CreateWidget() const
{
    return new UIScreen;
}

void UIScreenRecipe::OnPropertyChanged(const RTTIProperty* property)
{
    UIElementRecipe::OnPropertyChanged(property);
    m_disabled = DISABLED_NO;
}
