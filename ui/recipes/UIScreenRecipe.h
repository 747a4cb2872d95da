// UIScreenRecipe: the recipe at the root of every layout asset. It builds a UIScreen and keeps the
// layout editor's guide lines; it is always built (its Disabled mode stays "No"). Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIScreen.
class UIScreenRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UIScreenRecipe, UIElementRecipe)

public:
    UIScreenRecipe();

    const char* GetWidgetClassName() const override { return "UIScreen"; }
    UIElement* CreateWidget() const override;
    UIElementRecipe* CreateRecipe() const override { return new UIScreenRecipe; }
    void CycleDisabledMode() override { m_disabled = DISABLED_NO; }
    void OnPropertyChanged(const RTTIProperty* property) override;

    // Editor guide lines, in UI units; read and written only.
    Dynarray<int32_t> m_horizontalGuideLines;
    Dynarray<int32_t> m_verticalGuideLines;
};
