// UIBlurRecipe: the recipe of a blur panel: its softness, pass count and saturation. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIBlur.
class UIBlurRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIBlurRecipe, UIElementRecipe)

public:
    UIBlurRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIBlur"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIBlurRecipe; }

    float m_softness = 4.0f;
    uint32_t m_passCount = 1;
    float m_saturation = 1.0f;
};
