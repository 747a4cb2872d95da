// UIRadioContainerRecipe: the recipe of a radio container: whether it consumes the releases it
// resolves. Main thread.
#pragma once

#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIRadioContainer.
class UIRadioContainerRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIRadioContainerRecipe, UIElementRecipe)

public:
    UIRadioContainerRecipe() = default;

    const char* GetWidgetClassName() const override { return "UIRadioContainer"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UIRadioContainerRecipe; }

    bool m_blockEvents = true;
};
