// UIUniTextInputRecipe: the recipe of an editable UTF-16 text input: a text recipe whose widget is
// a UIUniTextInput of the recipe's maximum length, clipping its children (caret and selection)
// by default. Main thread only.
#pragma once

#include "ui/recipes/UITextRecipe.h"

#include <cstdint>

// Recipe of a UIUniTextInput.
class UIUniTextInputRecipe : public UITextRecipe
{
    RTTI_DECLARE_CLASS(UIUniTextInputRecipe, UITextRecipe)

public:
    // The longest input a recipe may ask for: the input allocates its whole buffer up front, so a
    // corrupt length must not become a multi-gigabyte allocation.
    static constexpr uint32_t kMaxInputLengthLimit = 65535;

    UIUniTextInputRecipe();

    const char* GetWidgetClassName() const override { return "UIUniTextInput"; }
    UIElement* CreateWidget() const override;
    UIElementRecipe* CreateRecipe() const override { return new UIUniTextInputRecipe; }

    uint32_t m_maxInputLength = 32;
};
