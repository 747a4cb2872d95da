#include "ui/recipes/UIClipboardRecipe.h"

RTTI_DEFINE_CLASS(UIClipboardRecipe, UIElementRecipe)

void UIClipboardRecipe::BuildClassProperties(RTTIPropertiesBase&) {}
