#include "ui/recipes/UIButtonRecipe.h"

#include "ui/widgets/UIButton.h"

RTTI_DEFINE_CLASS(UIButtonRecipe, UIPictureRecipe)

UIButtonRecipe::UIButtonRecipe()
{
    m_focusableWithMouse = true;
    m_anchorBy = ANCHOR_BY_CENTER;
}

void UIButtonRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIButtonRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Bi-state", &C::m_biState));
}

UIElement* UIButtonRecipe::CreateWidget() const
{
    return new UIButton;
}

void UIButtonRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIPictureRecipe::ApplyToElement(element, properties, buildFlags);
    if (element != nullptr)
        element->SetTriState(m_biState);
}
