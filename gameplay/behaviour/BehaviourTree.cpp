#include "gameplay/behaviour/BehaviourTree.h"

#include "core/console/GameConsole.h"
#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"

RTTI_DEFINE_CLASS_TABLE(BehaviourTree, RTTIPolyBaseClass)

void BehaviourTree::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<BehaviourTree, NameString>("Tree Name", &BehaviourTree::m_name,
                                                                                   0x100));
    table.AddProperty(new RTTIEmbeddedPolyObjectPointerProperty<BehaviourTree, BehaviourNode>(
        "Root", &BehaviourTree::m_root));
}

BehaviourTree::~BehaviourTree()
{
    delete m_root;
}

void BehaviourTree::SetRoot(BehaviourNode* root)
{
    if (root != m_root)
    {
        delete m_root;
        m_root = root;
    }
    LayOut();
}

void BehaviourTree::LayOut()
{
    if (m_root == nullptr)
        return;
    m_root->LinkParents();
    m_root->LinkListeners();
    m_root->AssignContextOffsets(0);
}

void BehaviourTree::InvalidateSafePointers()
{
    RTTIPolyBaseClass::InvalidateSafePointers();
    if (m_root != nullptr)
        m_root->InvalidateSafePointers();
}

void BehaviourTree::OnPostLoad(uint32_t)
{
    LayOut();
}

void BehaviourTree::OnUnload()
{
    if (m_root != nullptr)
        m_root->OnUnload();
}

void BehaviourTree::PreloadLinks()
{
    if (m_root != nullptr)
        m_root->PreloadLinks();
}

uint32_t BehaviourTree::GetContextDataSize() const
{
    return m_root != nullptr ? m_root->GetTotalDataSize() : 0u;
}

bool BehaviourTree::SetUpContext(BehaviourTreeContext& ctx)
{
    if (m_root == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Behaviour tree \"%s\" has no root", m_name.CStr());
        return false;
    }
    // The nodes are laid out again in case the tree was edited since it was read; an unchanged tree
    // gets the offsets it had, so contexts already running on it stay valid.
    LayOut();
    Dynarray<const BehaviourNode*> visited;
    m_root->CheckNoCycles(visited);
    const uint64_t size = m_root->GetTotalDataSize();
    if (size > kMaxContextBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Behaviour tree \"%s\" needs %llu context bytes (at most %u)",
                       m_name.CStr(), static_cast<unsigned long long>(size), kMaxContextBytes);
        return false;
    }
    ctx.Allocate(uint32_t(size));
    m_root->ResetContext(ctx, 0, m_root->GetTreeDataSize());
    m_root->PrepareContext(ctx, 0);
    return true;
}

int32_t BehaviourTree::Tick(BehaviourTreeContext& ctx) const
{
    if (m_root == nullptr || ctx.GetDataSize() == 0)
        return BT_FAILURE;
    return m_root->Tick(ctx, 0);
}

void BehaviourTree::ReleaseContext(BehaviourTreeContext& ctx) const
{
    if (m_root != nullptr && ctx.GetDataSize() != 0)
        m_root->ReleaseContext(ctx, 0);
}
