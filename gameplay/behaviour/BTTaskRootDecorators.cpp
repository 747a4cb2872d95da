#include "gameplay/behaviour/BTTaskRootDecorators.h"

#include "gameplay/behaviour/BehaviourTree.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/templates/TemplateManager.h"

bool BehaviourRootDecorator::InsertChild(BehaviourNode*)
{
    return false;
}

bool BehaviourRootDecorator::AddChild(BehaviourNode*)
{
    return false;
}

BehaviourTree* BehaviourRootDecorator::GetLinkedTree() const
{
    return m_linked.Get();
}

BehaviourTreeTemplate* BehaviourRootDecorator::GetTemplate() const
{
    return m_template.Get();
}

BehaviourNode* BehaviourRootDecorator::LinkedRoot() const
{
    const BehaviourTree* tree = m_linked.Get();
    return tree != nullptr ? tree->GetRoot() : nullptr;
}

BehaviourNode* BehaviourRootDecorator::GetChild(uint32_t) const
{
    return LinkedRoot();
}

uint32_t BehaviourRootDecorator::GetActiveChildCount(const BehaviourTreeContext& ctx, uint32_t) const
{
    const BehaviourNode* root = LinkedRoot();
    return root != nullptr && !root->IsDisabled(&ctx) ? 1u : 0u;
}

BehaviourNode* BehaviourRootDecorator::GetActiveChild(const BehaviourTreeContext& ctx, uint32_t base, uint32_t) const
{
    return GetActiveChildCount(ctx, base) == 1 ? LinkedRoot() : nullptr;
}

uint32_t BehaviourRootDecorator::ResetContext(BehaviourTreeContext& ctx, uint32_t base, uint32_t nextFree) const
{
    BehaviourLinkSlice& slice = SliceAs<BehaviourLinkSlice>(ctx, base);
    slice.state = -1;
    slice.activeIndices = nullptr;
    slice.activeCount = 0;
    slice.linkedBase = nextFree;
    const BehaviourNode* root = LinkedRoot();
    if (root == nullptr)
        return nextFree;
    return root->ResetContext(ctx, nextFree, nextFree + root->GetTreeDataSize());
}

void BehaviourRootDecorator::PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (const BehaviourNode* root = LinkedRoot())
        root->PrepareContext(ctx, LinkedBase(ctx, base));
    CreateNodeScope(ctx, base);
}

void BehaviourRootDecorator::ReleaseContext(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (const BehaviourNode* root = LinkedRoot())
        root->ReleaseContext(ctx, LinkedBase(ctx, base));
    DestroyNodeScope(ctx, base);
}

uint32_t BehaviourRootDecorator::GetTotalDataSize() const
{
    const BehaviourNode* root = LinkedRoot();
    return GetDataSize() + (root != nullptr ? root->GetTotalDataSize() : 0u);
}

bool BehaviourRootDecorator::CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const
{
    if (!IsInterruptible(ctx, base))
        return false;
    const BehaviourNode* root = LinkedRoot();
    return root == nullptr || root->CanInterrupt(ctx, LinkedBase(ctx, base));
}

int32_t BehaviourRootDecorator::Tick(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (ctx.IsInterruptRequested() && !IsInterruptible(ctx, base))
        ctx.SetInterruptRequested(false);
    if (GetActiveChildCount(ctx, base) == 0)
        return BT_FAILURE;
    return LinkedRoot()->Tick(ctx, LinkedBase(ctx, base));
}

int32_t BehaviourRootDecorator::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (GetActiveChildCount(ctx, base) == 0 || CheckOwnCondition(ctx, base) != BT_SUCCESS)
        return BT_FAILURE;
    return LinkedRoot()->CheckCondition(ctx, LinkedBase(ctx, base));
}

bool BehaviourRootDecorator::CheckNoCycles(Dynarray<const BehaviourNode*>& visited)
{
    for (const BehaviourNode* node : visited)
        if (node == this)
        {
            CutLink();
            return true;
        }
    visited.Add(this);
    if (BehaviourNode* root = LinkedRoot(); root != nullptr && !root->CheckNoCycles(visited))
        CutLink();
    visited.RemoveAt(visited.Count() - 1);
    return true;
}

RTTI_DEFINE_CLASS(BTTaskRootDecorator, BehaviourNode)

void BTTaskRootDecorator::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskRootDecorator;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("TreeIndex", &C::m_treeIndex));
}

void BTTaskRootDecorator::Resolve()
{
    const BehaviourTreeTemplate* owner = m_template.Get();
    BehaviourTree* tree = nullptr;
    if (owner != nullptr && m_treeIndex >= 0 && m_treeIndex < owner->GetTrees().Count())
        tree = owner->GetTrees()[m_treeIndex];
    m_linked = tree;
}

void BTTaskRootDecorator::LinkTrees(BehaviourTreeTemplate* owner)
{
    m_template = owner;
    Resolve();
}

void BTTaskRootDecorator::OnTreeRemoved(int32_t treeIndex)
{
    if (m_treeIndex == treeIndex)
        m_treeIndex = -1;
    else if (m_treeIndex > treeIndex)
        --m_treeIndex;
    Resolve();
}

void BTTaskRootDecorator::CutLink()
{
    m_treeIndex = -1;
    m_linked = nullptr;
}

RTTI_DEFINE_CLASS(BTTaskRootLinkDecorator, BehaviourNode)

void BTTaskRootLinkDecorator::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskRootLinkDecorator;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("Template path", &C::m_templatePath, 0x200000,
                                                                       "Templates"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Tree name", &C::m_treeName));
}

void BTTaskRootLinkDecorator::LinkTrees(BehaviourTreeTemplate* owner)
{
    BehaviourTreeTemplate* linked = owner;
    if (!m_templatePath.IsNull())
    {
        linked = dynamic_cast<BehaviourTreeTemplate*>(gTemplateManager.GetTemplateByGUID(m_templatePath, true));
        // A template that links back to one being linked returns at once.
        if (linked != nullptr)
            linked->InitTrees();
    }
    m_template = linked;
    m_linked = linked != nullptr ? linked->FindTreeByName(m_treeName.CStr()) : nullptr;
}

void BTTaskRootLinkDecorator::PreloadLinks()
{
    if (!m_templatePath.IsNull())
        gTemplateManager.GetTemplateByGUID(m_templatePath, true);
}

void BTTaskRootLinkDecorator::CutLink()
{
    m_linked = nullptr;
}
