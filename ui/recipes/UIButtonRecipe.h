// UIButtonRecipe: the recipe of a button, a picture recipe whose "Bi-state" makes the button
// selectable by presses. Main thread.
#pragma once

#include "ui/recipes/UIPictureRecipe.h"

#include <cstdint>

// Recipe of a UIButton.
class UIButtonRecipe : public UIPictureRecipe
{
    RTTI_DECLARE_CLASS(UIButtonRecipe, UIPictureRecipe)

public:
    UIButtonRecipe();

    const char* GetWidgetClassName() const override { return "UIButton"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIButtonRecipe; }

    bool m_biState = false;
};
