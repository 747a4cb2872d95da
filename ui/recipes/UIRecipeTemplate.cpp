#include "ui/recipes/UIRecipeTemplate.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIPropertiesBase.h"
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
    std::unique_ptr<UIScreenRecipe> root;
    if (marked && !ReadRootAside(in, flags, root))
        return false;
    if (!table->ReadRecord(this, buffer, propertyBytes, flags, nullptr))
        return false;
    m_rootInRecord = marked;
    if (marked)
        TakeRoot(std::move(root), flags);
    if (consumed != nullptr)
        *consumed = in.Position();
    return true;
}

bool UIRecipeTemplate::ReadBodyBlocks(RecordInput& in, uint32_t)
{
    if (m_rootInRecord || in.Remaining() == 0)
        return true;
    std::unique_ptr<UIScreenRecipe> root;
    if (!ReadRootAside(in, RTTI_NO_ENTITY_RESOLVE, root))
        return false;
    TakeRoot(std::move(root), RTTI_NO_ENTITY_RESOLVE);
    return true;
}

bool UIRecipeTemplate::ReadRootAside(RecordInput& in, uint32_t flags, std::unique_ptr<UIScreenRecipe>& root)
{
    uint8_t present = 0;
    if (!in.ReadU8(present) || present > 1)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has no valid root marker", GetDisplayName());
        return false;
    }
    if (present == 0)
        return true;
    root.reset(new UIScreenRecipe);
    size_t used = 0;
    if (!root->DeserializeFromMemory(in.Cursor(), in.Remaining(), flags, &used))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "UI recipe template %s has a root recipe that does not read whole",
                       GetDisplayName());
        return false;
    }
    return in.Skip(used);
}

void UIRecipeTemplate::TakeRoot(std::unique_ptr<UIScreenRecipe> root, uint32_t flags)
{
    // A body without a root is an empty layout: the tree of an earlier load must not live on in it.
    SetRootRecipe(root.release());
    if (m_root != nullptr && (flags & RTTI_NO_ENTITY_RESOLVE) != 0)
        m_root->LoadResourcesRecursive();
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
