#include "ui/recipes/UIRecipeTemplate.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeBuild.h"
#include "ui/recipes/UIScreenRecipe.h"

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
    m_retiredChildren.DeleteAllPointers();
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

size_t UIRecipeTemplate::SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags)
{
    RecordOutput out(buffer, capacity, (flags & RTTI_BYTE_SWAP) != 0);
    if (buffer != nullptr)
        OnPreSave(flags);
    GetClassProperties()->SerializeObject(out, this, flags);
    out.WriteU8(m_root != nullptr ? 1 : 0);
    if (m_root != nullptr)
        m_root->WriteEmbeddedPayload(out, flags);
    if (out.Overflowed())
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s does not fit its %zu-byte record buffer",
                       GetDisplayName(), capacity);
        return 0;
    }
    return out.Size();
}

bool UIRecipeTemplate::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed)
{
    const RTTIPropertiesBase* const table = GetClassProperties();
    RecordInput in(buffer, size);
    if (!table->ValidateObject(in, flags))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has properties that do not read whole",
                       GetDisplayName());
        return false;
    }
    const size_t propertyBytes = in.Position();
    // A record that ends with its properties is of the earlier form: its root follows the record.
    const bool marked = in.Remaining() != 0;
    RootBytes root;
    if (marked && !FindRoot(in, flags, root))
        return false;
    if (!table->ReadRecord(this, buffer, propertyBytes, flags, nullptr))
        return false;
    m_rootInRecord = marked;
    if (marked && !ReadRoot(root, flags))
        return false;
    if (consumed != nullptr)
        *consumed = in.Position();
    return true;
}

bool UIRecipeTemplate::ReadBodyBlocks(RecordInput& in, uint32_t)
{
    if (m_rootInRecord || in.Remaining() == 0)
        return true;
    RootBytes root;
    return FindRoot(in, RTTI_NO_ENTITY_RESOLVE, root) && ReadRoot(root, RTTI_NO_ENTITY_RESOLVE);
}

bool UIRecipeTemplate::FindRoot(RecordInput& in, uint32_t flags, RootBytes& root)
{
    uint8_t present = 0;
    if (!in.ReadU8(present) || present > 1)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has no valid root marker", GetDisplayName());
        return false;
    }
    root.present = present == 1;
    root.data = in.Cursor();
    if (!root.present)
        return true;
    if (!UIScreenRecipe::StaticClassProperties()->ValidateObject(in, flags))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has a root recipe that does not read whole",
                       GetDisplayName());
        return false;
    }
    root.size = size_t(in.Cursor() - root.data);
    return true;
}

bool UIRecipeTemplate::ReadRoot(const RootBytes& root, uint32_t flags)
{
    // Without a root the tree stays as it is.
    if (!root.present)
        return true;
    UIElementRecipe* const tree = GetRootRecipe();
    // Elements built from the earlier children still point at them: they stay, unchanged, until the
    // template goes, and only builds after this read use the new ones.
    const int32_t firstRetired = m_retiredChildren.Count();
    tree->TakeChildren(m_retiredChildren);
    for (int32_t i = firstRetired; i < m_retiredChildren.Count(); ++i)
        if (m_retiredChildren[i] != nullptr)
            m_retiredChildren[i]->ReleaseResourcesRecursive();
    if (!tree->DeserializeFromMemory(root.data, root.size, flags))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s could not read its root recipe",
                       GetDisplayName());
        return false;
    }
    if ((flags & RTTI_NO_ENTITY_RESOLVE) != 0)
        tree->LoadResourcesRecursive();
    return true;
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
