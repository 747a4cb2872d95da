// UIPanelRecipe: the recipe of a panel: no values of its own. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIPanel.
class UIPanelRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIPanelRecipe, UIElementRecipe)

public:
    UIPanelRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIPanel"; }
    UIElement* CreateWidget() const override;
    UIElementRecipe* CreateRecipe() const override { return new UIPanelRecipe; }
};
