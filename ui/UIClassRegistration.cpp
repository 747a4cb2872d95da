#include "ui/UIClassRegistration.h"

#include "ui/StringHistoryContainer.h"
#include "ui/recipes/UIBlurRecipe.h"
#include "ui/recipes/UIClipboardRecipe.h"
#include "ui/recipes/UIPictureRecipe.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIRoundedRectRecipe.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITextRecipe.h"
#include "ui/recipes/UIUniTextInputRecipe.h"

void RegisterUIClasses()
{
    StringHistoryContainer::RegisterRTTIClass();
    UIPictureRecipe::RegisterRTTIClass();
    UITextRecipe::RegisterRTTIClass();
    UIUniTextInputRecipe::RegisterRTTIClass();
    UIRoundedRectRecipe::RegisterRTTIClass();
    UIScreenRecipe::RegisterRTTIClass();
    UIBlurRecipe::RegisterRTTIClass();
    UIClipboardRecipe::RegisterRTTIClass();
    UIRecipeTemplate::RegisterRTTIClass();
}
