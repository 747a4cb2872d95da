// UIRoundedRectRecipe: the recipe of a rounded rectangle: its corner texture and corner radius.
// Main thread only.
#pragma once

#include "core/strings/NameString.h"
#include "ui/recipes/UIElementRecipe.h"

// Recipe of a UIRoundedRect.
class UIRoundedRectRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIRoundedRectRecipe, UIElementRecipe)

public:
    UIRoundedRectRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIRoundedRect"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIRoundedRectRecipe; }

    NameString m_cornerTexture{"iPhone/UI/Round_Edge_01$cxy.dds"};
    float m_cornerRadius = 15.0f;
};
