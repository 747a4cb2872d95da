// UIElement's side of recipes: the recipe link, preset application down the tree, and the event
// forwarding that plays a recipe's sounds and runs its event recipes. Main thread.
#include "core/math/HDRColor.h"
#include "scene/templates/EntityTemplate.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementPreset.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIEventRecipe.h"

namespace
{
// The recipe's (or its named preset's) value of `key` when the key holds a value of type T.
template <typename T>
const T* FindRecipeValue(UIElementRecipe* recipe, const char* key, const char* preset)
{
    if (recipe == nullptr || key == nullptr)
        return nullptr;
    RTTIPolyBaseClass* target = nullptr;
    const RTTIPropertiesBase* table = recipe->ResolvePresetOrRecipe(preset, target);
    const RTTIProperty* property = table->FindPropertyInClassChain(key);
    if (property == nullptr || property->GetType() != RTTIValueTraits<T>::kType)
        return nullptr;
    const auto* typed = dynamic_cast<const RTTITypedProperty<T>*>(property);
    return typed != nullptr ? typed->GetValueAddress(target) : nullptr;
}
} // namespace

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

void UIElement::SetResourceFlagsRecursive(uint32_t flags)
{
    if (m_recipeTemplate != nullptr)
        m_recipeTemplate->SetResourceFlags(flags);
    SetResourceFlags(flags);
    for (UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        child->SetResourceFlagsRecursive(flags);
}

const char* UIElement::GetRecipePrefab() const
{
    return m_recipe != nullptr ? m_recipe->m_prefab.CStr() : nullptr;
}

bool UIElement::GetRecipeBoolProperty(const char* name, const char* preset) const
{
    const bool* value = FindRecipeValue<bool>(m_recipe, name, preset);
    return value != nullptr && *value;
}

bool UIElement::LoadRecipeVectorProperty(Vector& out, const char* name, const char* preset) const
{
    const Vector* value = FindRecipeValue<Vector>(m_recipe, name, preset);
    if (value != nullptr)
        out = *value;
    return value != nullptr;
}

bool UIElement::LoadRecipeLinearColorProperty(Vector& out, const char* name, const char* preset) const
{
    const HDRColor* value = FindRecipeValue<HDRColor>(m_recipe, name, preset);
    if (value != nullptr)
        value->ToLinearVector(out);
    return value != nullptr;
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
