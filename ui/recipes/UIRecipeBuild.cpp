#include "ui/recipes/UIRecipeBuild.h"

#include "core/console/GameConsole.h"
#include "core/strings/NameString.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeTemplate.h"

namespace
{
// Whether the recipe's presence mode lets this build make it.
bool IsBuilt(const UIElementRecipe& recipe, uint32_t buildFlags)
{
    switch (recipe.m_disabled)
    {
    case UIElementRecipe::DISABLED_NO: return true;
    case UIElementRecipe::DISABLED_IN_GAME: return (buildFlags & UIBUILDFLAG_INGAME) != 0;
    default: return false;
    }
}
} // namespace

UIElement* UIElementRecipe::CreateElement(UIElementRecipe* recipe, EntityTemplate* recipeTemplate,
                                          uint32_t buildFlags, UIProperties* properties)
{
    if (recipe == nullptr || !IsBuilt(*recipe, buildFlags))
        return nullptr;
    UIElement* const widget = recipe->CreateWidget();
    if (widget == nullptr)
        return nullptr;
    widget->SetRecipe(recipe, recipeTemplate);
    recipe->ApplyToElement(widget, properties != nullptr ? *properties : gUIProperties, buildFlags);
    if (!widget->IsUIPicture())
        widget->RaiseFlag(UIFLAG_DRAWPENDINGUIELEMENTSBEFORE);
    if (widget->AcceptsRecipeChildren(buildFlags))
        CreateChildren(recipe, widget, recipeTemplate, buildFlags, properties);
    widget->OnCreated(buildFlags);
    return widget;
}

void UIElementRecipe::CreateChildren(UIElementRecipe* recipe, UIElement* parent, EntityTemplate* recipeTemplate,
                                     uint32_t buildFlags, UIProperties* properties)
{
    // Each child is attached once its own subtree is built and finished.
    for (UIElementRecipe* child : recipe->GetChildren())
        if (UIElement* const element = CreateElement(child, recipeTemplate, buildFlags, properties))
            parent->AddChild(element);
}

UIElement* BuildFromRecipe(UIElementRecipe* root, EntityTemplate* recipeTemplate, const char* name,
                           UIProperties* properties)
{
    if (root == nullptr)
        return nullptr;
    if (name == nullptr || name[0] == 0)
    {
        UIElement* const element = new UIElement;
        element->RaiseFlag(UIFLAG_TRANSPARENT | UIFLAG_DRAWPENDINGUIELEMENTS);
        if (element->AcceptsRecipeChildren(0))
            UIElementRecipe::CreateChildren(root, element, recipeTemplate, 0, properties);
        element->OnCreated(0);
        return element;
    }
    UIElementRecipe* const found = root->FindByName(NameString(name));
    return found != nullptr ? UIElementRecipe::CreateElement(found, recipeTemplate, 0, properties) : nullptr;
}

UIElement* UIElement::CreateFromRecipe(const char* templateName, const char* subRecipeName, UIProperties* properties)
{
    EntityTemplate* const found = gTemplateManager.GetTemplate(templateName, true);
    if (found == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Recipe [%s] not found!", templateName != nullptr ? templateName : "");
        return nullptr;
    }
    UIRecipeTemplate* const recipeTemplate =
        TemplateTypeRegistry::GetInstance().IsKindOf(found->GetTypeId(), UIRecipeTemplate::kTypeId)
            ? dynamic_cast<UIRecipeTemplate*>(found)
            : nullptr;
    if (recipeTemplate == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Template [%s] is not a UI recipe!", templateName);
        return nullptr;
    }
    if (UIElement* const built =
            BuildFromRecipe(recipeTemplate->GetRootRecipe(), recipeTemplate, subRecipeName, properties))
        return built;
    gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Subrecipe [%s] not found", subRecipeName != nullptr ? subRecipeName : "");
    return nullptr;
}

UIElement* UIElement::CreateElementFromSubRecipe(UIElement* element, const char* name)
{
    if (element == nullptr)
        return nullptr;
    UIRecipeTemplate* const recipeTemplate = dynamic_cast<UIRecipeTemplate*>(element->GetRecipeTemplate());
    if (recipeTemplate == nullptr)
        return nullptr;
    return BuildFromRecipe(recipeTemplate->GetRootRecipe(), recipeTemplate, name, &gUIProperties);
}
