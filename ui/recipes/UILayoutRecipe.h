// UILayoutRecipe: the recipe of a flow layout: its type, orientation, alignment and spacers.
// Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UILayout.
class UILayoutRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UILayoutRecipe, UIElementRecipe)

public:
    UILayoutRecipe();

    const char* GetWidgetClassName() const override { return "UILayout"; }
    UIElement* CreateWidget() const override;
    // Replaces the type, orientation and alignment bits of the layout word (a second application
    // does not add to the first) and sets the spacers.
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UILayoutRecipe; }
    // The layout word's bits for the three choices; a value past its list sets no bit.
    static uint32_t LayoutWord(uint32_t layoutType, uint32_t orientation, uint32_t alignment);

    uint32_t m_layoutType = 0;
    uint32_t m_orientation = 0;
    uint32_t m_alignment = 0;
    float m_left = 0.0f;
    float m_right = 0.0f;
    float m_top = 0.0f;
    float m_bottom = 0.0f;
};
