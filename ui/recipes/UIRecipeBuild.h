// Building UI from recipes: turning a recipe tree (a whole layout asset or one named sub-recipe of
// it) into a UIElement tree. Each element is created by its recipe's kind, linked to its recipe and
// layout asset (one user reference on the asset), given the recipe's values, then its children are
// built in order and attached, and it is finished (OnCreated). Recipes whose presence mode excludes
// them, and kinds without a widget, are skipped together with their children.
//
// The entry points UIElement::CreateFromRecipe and UIElement::CreateElementFromSubRecipe
// (ui/elements/UIElement.h) are defined here. Main thread only.
#pragma once

#include <cstdint>

class EntityTemplate;
class UIElement;
class UIElementRecipe;
class UIProperties;

// Build flag that admits recipes whose Disabled mode is "In game".
constexpr uint32_t UIBUILDFLAG_INGAME = 0x1;

// The whole tree under a plain transparent element (the root recipe's own values are not applied),
// or, for a name, the first recipe of that name in a depth-first walk from the root. Null without a
// root, for a missing name or for a recipe that builds nothing.
UIElement* BuildFromRecipe(UIElementRecipe* root, EntityTemplate* recipeTemplate, const char* name,
                           UIProperties* properties);
