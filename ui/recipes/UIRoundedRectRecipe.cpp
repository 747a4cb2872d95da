#include "ui/recipes/UIRoundedRectRecipe.h"

#include "ui/elements/UIRoundedRect.h"

RTTI_DEFINE_CLASS(UIRoundedRectRecipe, UIElementRecipe)

void UIRoundedRectRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIRoundedRectRecipe;
    // 2048: a file picked from the folder named by the description.
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Corner texture", &C::m_cornerTexture, 2048,
                                                                      "Textures"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Corner radius", &C::m_cornerRadius));
}

UIElement* UIRoundedRectRecipe::CreateWidget() const
{
    return new UIRoundedRect("", false);
}

void UIRoundedRectRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    UIRoundedRect* const rect = dynamic_cast<UIRoundedRect*>(element);
    if (rect == nullptr)
        return;
    rect->SetCornerTexture(m_cornerTexture.CStr());
    rect->SetCornerRadius(m_cornerRadius);
    rect->RaiseFlag(UIFLAG_TRANSPARENT);
}
