#include "ui/recipes/UITemplateViewRecipe.h"

#include "core/math/Matrix.h"
#include "ui/elements/UITemplateView.h"

RTTI_DEFINE_CLASS(UITemplateViewRecipe, UIElementRecipe)

void UITemplateViewRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UITemplateViewRecipe;
    // 4096: a template picked by name; 64: a vector edited as a position.
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Template name", &C::m_templateName, 4096));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Shader preset", &C::m_shaderPreset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Start immediately", &C::m_startImmediately));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Ortho projection", &C::m_orthoProjection));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Local position", &C::m_localPosition, 64));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Local rotation", &C::m_localRotation, 64));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Local scale", &C::m_localScale, 64));
}

UIElement* UITemplateViewRecipe::CreateWidget() const
{
    return new UITemplateView;
}

void UITemplateViewRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    UITemplateView* const view = dynamic_cast<UITemplateView*>(element);
    if (view == nullptr)
        return;
    view->SetTemplate(m_templateName.CStr());
    view->SetShaderPreset(m_shaderPreset.CStr());
    if (m_startImmediately)
        view->Restart();
    if (m_orthoProjection)
        view->RaiseFlag(UITemplateView::kOrthoProjectionFlag);
    Matrix local;
    local.LoadComplexTransformation(m_localPosition, m_localRotation, m_localScale);
    view->SetLocalMatrix(local);
}
