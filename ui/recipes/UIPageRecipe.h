// UIPageRecipe: the recipe of a page: no values of its own; a page it builds can be selected. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIPage.
class UIPageRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIPageRecipe, UIElementRecipe)

public:
    UIPageRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIPage"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIPageRecipe; }
};
