#include "ui/recipes/UIPageRecipe.h"

#include "ui/widgets/UIPage.h"

RTTI_DEFINE_CLASS(UIPageRecipe, UIElementRecipe)

void UIPageRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    (void)table;
}

UIElement* UIPageRecipe::CreateWidget() const
{
    return new UIPage;
}

void UIPageRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    if (element != nullptr)
        element->SetTriState(true);
}
