#include "ui/recipes/UIRecipeTemplate.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeBuild.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <memory>

RTTI_DEFINE_CLASS_TABLE(UIRecipeEntity, Entity)

void UIRecipeEntity::BuildClassProperties(RTTIPropertiesBase&) {}

RTTI_DEFINE_CLASS(UIRecipeTemplate, EntityTemplate)

void UIRecipeTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIRecipeTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("HierarchyViewLoc", &C::m_hierarchyViewLoc));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("LayoutViewLoc", &C::m_layoutViewLoc));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, int32_t>("LayoutElementSnapValue", &C::m_layoutElementSnapValue));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, int32_t>("LayoutMarginSnapValue", &C::m_layoutMarginSnapValue));
}

UIRecipeTemplate::UIRecipeTemplate()
{
    SetTypeId(kTypeId);
}

UIRecipeTemplate::~UIRecipeTemplate()
{
    delete m_root;
}

Entity* UIRecipeTemplate::CreateEntity()
{
    return new UIRecipeEntity;
}

void UIRecipeTemplate::InvalidateSafePointers()
{
    EntityTemplate::InvalidateSafePointers();
    if (m_root != nullptr)
        m_root->InvalidateSafePointers();
}

UIElementRecipe* UIRecipeTemplate::GetRootRecipe()
{
    if (m_root == nullptr)
        m_root = new UIScreenRecipe;
    return m_root;
}

void UIRecipeTemplate::SetRootRecipe(UIScreenRecipe* root)
{
    if (root == m_root)
        return;
    delete m_root;
    m_root = root;
}

bool UIRecipeTemplate::ReadBodyBlocks(RecordInput& in, uint32_t version)
{
    if (!EntityTemplate::ReadBodyBlocks(in, version))
        return false;
    uint8_t present = 0;
    if (!in.ReadU8(present) || present > 1)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has no valid root marker", GetDisplayName());
        return false;
    }
    // A body without a root is an empty layout: the tree of an earlier load must not live on in it.
    if (present == 0)
    {
        SetRootRecipe(nullptr);
        return true;
    }
    // Read aside, so a root that does not read whole leaves no half-built tree behind.
    std::unique_ptr<UIScreenRecipe> root(new UIScreenRecipe);
    size_t consumed = 0;
    if (!root->DeserializeFromMemory(in.Cursor(), in.Remaining(), RTTI_NO_ENTITY_RESOLVE, &consumed))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has a root recipe that does not read whole",
                       GetDisplayName());
        return false;
    }
    in.Skip(consumed);
    SetRootRecipe(root.release());
    // Bodies are read without entity resolution (flag 4), which also loads the tree's pictures.
    m_root->LoadResourcesRecursive();
    return true;
}

void UIRecipeTemplate::WriteBodyBlocks(RecordOutput& out) const
{
    EntityTemplate::WriteBodyBlocks(out);
    out.WriteU8(m_root != nullptr ? 1 : 0);
    if (m_root != nullptr)
        m_root->WriteEmbeddedPayload(out, 0);
}

void UIRecipeTemplate::PrepareDependencies()
{
    UIElementRecipe* const root = GetRootRecipe();
    root->RequestPrefabRecursive();
    if (UIElement* const built = BuildFromRecipe(root, this, "", &gUIProperties))
        built->Release();
}

void UIRecipeTemplate::SetResourceFlags(uint32_t flags)
{
    EntityTemplate::SetResourceFlags(flags);
    if (m_root != nullptr)
        m_root->SetResourceFlagsRecursive(flags);
}

void UIRecipeTemplate::UnloadData()
{
    if (m_root != nullptr)
        m_root->ReleaseResourcesRecursive();
}
