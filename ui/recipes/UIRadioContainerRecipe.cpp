#include "ui/recipes/UIRadioContainerRecipe.h"

#include "ui/widgets/UIRadioContainer.h"

RTTI_DEFINE_CLASS(UIRadioContainerRecipe, UIElementRecipe)

void UIRadioContainerRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIRadioContainerRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Block Events", &C::m_blockEvents));
}

UIElement* UIRadioContainerRecipe::CreateWidget() const
{
    return new UIRadioContainer;
}

void UIRadioContainerRecipe::ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags)
{
    UIElementRecipe::ApplyToElement(element, properties, buildFlags);
    auto* const container = dynamic_cast<UIRadioContainer*>(element);
    if (container == nullptr)
        return;
    container->SetBlockEvents(m_blockEvents);
}
