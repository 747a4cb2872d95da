#include "ui/UIClassRegistration.h"

#include "ui/StringHistoryContainer.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIBlurRecipe.h"
#include "ui/recipes/UIButtonRecipe.h"
#include "ui/recipes/UIClipboardRecipe.h"
#include "ui/recipes/UIElementPreset.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIEventRecipe.h"
#include "ui/recipes/UILayoutRecipe.h"
#include "ui/recipes/UIListRecipe.h"
#include "ui/recipes/UIPageRecipe.h"
#include "ui/recipes/UIPanelRecipe.h"
#include "ui/recipes/UIPictureRecipe.h"
#include "ui/recipes/UIRadioContainerRecipe.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIRoundListRecipe.h"
#include "ui/recipes/UIRoundedRectRecipe.h"
#include "ui/recipes/UIScrollPaneRecipe.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITemplateViewRecipe.h"
#include "ui/recipes/UITextRecipe.h"
#include "ui/recipes/UIUniTextInputRecipe.h"
#include "ui/text/CompiledGameStringCollection.h"
#include "ui/text/GameStringGroup.h"
#include "ui/text/StringManager.h"
#include "ui/text/UIFontTable.h"

void RegisterUIClasses()
{
    StringHistoryContainer::RegisterRTTIClass();
    UIElement::RegisterRTTIClass();
    UIElementPreset::RegisterRTTIClass();
    UIEventRecipe::RegisterRTTIClass();
    UIEventRecipePreset::RegisterRTTIClass();
    UIEventRecipeAnimation::RegisterRTTIClass();
    UIElementRecipe::RegisterRTTIClass();
    UIPictureRecipe::RegisterRTTIClass();
    UITextRecipe::RegisterRTTIClass();
    UIUniTextInputRecipe::RegisterRTTIClass();
    UIRoundedRectRecipe::RegisterRTTIClass();
    UIScreenRecipe::RegisterRTTIClass();
    UIBlurRecipe::RegisterRTTIClass();
    UIClipboardRecipe::RegisterRTTIClass();
    UITemplateViewRecipe::RegisterRTTIClass();
    UIButtonRecipe::RegisterRTTIClass();
    UIPageRecipe::RegisterRTTIClass();
    UIPanelRecipe::RegisterRTTIClass();
    UIRadioContainerRecipe::RegisterRTTIClass();
    UIScrollPaneRecipe::RegisterRTTIClass();
    UILayoutRecipe::RegisterRTTIClass();
    UIListRecipe::RegisterRTTIClass();
    UIRoundListRecipe::RegisterRTTIClass();
    UIRecipeTemplate::RegisterRTTIClass();
    GameString::RegisterRTTIClass();
    GameStringGroup::RegisterRTTIClass();
    CompiledGameStringCollectionEntry::RegisterRTTIClass();
    CompiledGameStringCollection::RegisterRTTIClass();
    StringManager::RegisterRTTIClass();
    UIFontDefinition::RegisterRTTIClass();
    UIFontTable::RegisterRTTIClass();
}
