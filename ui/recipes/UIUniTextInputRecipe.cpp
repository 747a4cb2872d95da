#include "ui/recipes/UIUniTextInputRecipe.h"

#include "ui/elements/UIUniTextInput.h"

#include <algorithm>

RTTI_DEFINE_CLASS(UIUniTextInputRecipe, UITextRecipe)

void UIUniTextInputRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIUniTextInputRecipe;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Max input length", &C::m_maxInputLength));
}

UIUniTextInputRecipe::UIUniTextInputRecipe()
{
    m_clipChildren = true;
}

UIElement* UIUniTextInputRecipe::CreateWidget() const
{
    return new UIUniTextInput("", m_fontSize, std::min(m_maxInputLength, kMaxInputLengthLimit));
}
