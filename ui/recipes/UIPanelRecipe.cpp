#include "ui/recipes/UIPanelRecipe.h"

#include "ui/widgets/UIPanel.h"

RTTI_DEFINE_CLASS(UIPanelRecipe, UIElementRecipe)

void UIPanelRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    (void)table;
}

UIElement* UIPanelRecipe::CreateWidget() const
{
    return new UIPanel;
}
