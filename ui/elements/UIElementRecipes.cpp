// UIElement's side of recipes: the recipe link, preset application down the tree, and the event
// forwarding that plays a recipe's sounds and runs its event recipes. Main thread.
#include "scene/templates/EntityTemplate.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementPreset.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIEventRecipe.h"

RTTI_DEFINE_CLASS(UIElement, RTTIPolyBaseClass)

// Elements carry no serialized properties of their own: they are built from recipes.
void UIElement::BuildClassProperties(RTTIPropertiesBase&) {}

void UIElement::SetRecipe(UIElementRecipe* recipe, EntityTemplate* recipeTemplate)
{
    m_recipe = recipe;
    if (recipeTemplate == m_recipeTemplate)
        return;
    if (recipeTemplate != nullptr)
        recipeTemplate->AddRef();
    if (m_recipeTemplate != nullptr)
        m_recipeTemplate->Release();
    m_recipeTemplate = recipeTemplate;
}

bool UIElement::ApplyRecipePreset(const char* name, bool recursive, float time, uint32_t flags, uint32_t channel,
                                  bool clearChannel, bool allProperties)
{
    if (m_recipe == nullptr)
        return false;
    // Under an auto-layout grandparent the layout places the element: the preset keeps its position.
    const bool laidOut = m_parent != nullptr && m_parent->m_parent != nullptr &&
                         (m_parent->m_parent->m_userFlags & UIFLAG_AUTOLAYOUT) != 0;
    bool applied = m_recipe->ApplyPreset(name, this, time, flags | (laidOut ? UIElementPreset::kKeepPositionFlag : 0),
                                         channel, clearChannel, allProperties);
    if (recursive)
        for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
            if (!child->FollowsParentEnableState())
                applied |= child->ApplyRecipePreset(name, true, time, flags, channel, clearChannel, allProperties);
    return applied;
}

bool UIElement::RunEvent(uint32_t eventId, bool instant, bool (UIElement::*defaultHandler)(bool))
{
    if (m_recipe != nullptr && !instant)
    {
        m_recipe->PlayEventSounds(eventId);
        if (const UIEventRecipe* behaviour = m_recipe->GetEventRecipe(eventId))
            return behaviour->Execute(this);
    }
    return (this->*defaultHandler)(instant);
}
