// UIRoundListRecipe: the recipe of a round list: a list recipe with the range of numbers its
// entries show. Main thread.
#pragma once

#include "ui/recipes/UIListRecipe.h"

#include <cstdint>

// Recipe of a UIRoundList.
class UIRoundListRecipe : public UIListRecipe
{
    RTTI_DECLARE_CLASS(UIRoundListRecipe, UIListRecipe)

public:
    UIRoundListRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIRoundList"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIRoundListRecipe; }

    int32_t m_rangeFrom = 0;
    int32_t m_rangeTo = 10;
};
