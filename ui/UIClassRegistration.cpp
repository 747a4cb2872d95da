#include "ui/UIClassRegistration.h"

#include "ui/StringHistoryContainer.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementPreset.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIEventRecipe.h"

void RegisterUIClasses()
{
    StringHistoryContainer::RegisterRTTIClass();
    UIElement::RegisterRTTIClass();
    UIElementPreset::RegisterRTTIClass();
    UIEventRecipe::RegisterRTTIClass();
    UIEventRecipePreset::RegisterRTTIClass();
    UIEventRecipeAnimation::RegisterRTTIClass();
    UIElementRecipe::RegisterRTTIClass();
}
