// UIClipboardRecipe: a recipe that builds nothing: a place in a layout asset where recipes are kept
// for later use (found by name as sub-recipes), never shown with their parent. Main thread only.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

// Recipe without a widget.
class UIClipboardRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIClipboardRecipe, UIElementRecipe)

public:
    UIClipboardRecipe() = default;

    const char* GetWidgetClassName() const override { return "Undefined"; }
    UIElement* CreateWidget() const override { return nullptr; }
    UIElementRecipe* CreateRecipe() const override { return new UIClipboardRecipe; }
};
