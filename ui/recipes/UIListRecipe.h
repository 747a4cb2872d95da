// UIListRecipe: the recipe of a list: whether its entries are selected by presses and whether
// presses are handed on to them. Its child recipes are the list's entry templates. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIList.
class UIListRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIListRecipe, UIElementRecipe)

public:
    UIListRecipe();

    const char* GetWidgetClassName() const override { return "UIList"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIListRecipe; }

    bool m_selectableChildren = false;
    bool m_bypassEvents = false;
};
