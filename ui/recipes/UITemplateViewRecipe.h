// UITemplateViewRecipe: the recipe of a template view: the mesh or effect template it shows, its
// shader preset, whether an effect starts at once, an orthographic projection, and the local
// transform of the template under the element. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "ui/recipes/UIElementRecipe.h"

// Recipe of a UITemplateView.
class UITemplateViewRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UITemplateViewRecipe, UIElementRecipe)

public:
    UITemplateViewRecipe() = default;

    const char* GetWidgetClassName() const override { return "UITemplateView"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UITemplateViewRecipe; }

    NameString m_templateName;
    NameString m_shaderPreset;
    bool m_startImmediately = true;
    bool m_orthoProjection = false;
    Vector m_localPosition{0.0f, 0.0f, 0.0f, 1.0f};
    // Degrees about x, y and z.
    Vector m_localRotation{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_localScale{1.0f, 1.0f, 1.0f, 1.0f};
};
