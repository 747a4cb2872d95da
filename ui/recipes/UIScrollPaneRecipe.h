// UIScrollPaneRecipe: the recipe of a scroll pane: its axes, border, border switch and whether
// presses reach children while it moves. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIScrollPane.
class UIScrollPaneRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIScrollPaneRecipe, UIElementRecipe)

public:
    UIScrollPaneRecipe();

    const char* GetWidgetClassName() const override { return "UIScrollPane"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIScrollPaneRecipe; }

    uint32_t m_scrollDirection = 0;
    bool m_disableScrollBorder = false;
    float m_scrollBorder = 25.0f;
    bool m_clickWhileScrolling = false;
};
