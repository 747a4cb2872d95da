#include "gameplay/BehaviourTree.h"

RTTI_DEFINE_CLASS(BehaviourTreeNode, RTTIPolyBaseClass)

void BehaviourTreeNode::BuildClassProperties(RTTIPropertiesBase&) {}

RTTI_DEFINE_CLASS(BehaviourTree, RTTIPolyBaseClass)

void BehaviourTree::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<BehaviourTree, std::string>("Name", &BehaviourTree::m_name));
    table.AddProperty(new RTTIEmbeddedPolyObjectPointerProperty<BehaviourTree, BehaviourTreeNode>(
        "Root", &BehaviourTree::m_root));
}

BehaviourTree::~BehaviourTree()
{
    delete m_root;
}

void BehaviourTree::SetRoot(BehaviourTreeNode* root)
{
    if (root == m_root)
        return;
    delete m_root;
    m_root = root;
}

void BehaviourTree::InvalidateSafePointers()
{
    RTTIPolyBaseClass::InvalidateSafePointers();
    if (m_root != nullptr)
        m_root->InvalidateSafePointers();
}

void BehaviourTree::OnUnload()
{
    if (m_root != nullptr)
        m_root->OnUnload();
}

void BehaviourTree::PrepareDependencies()
{
    if (m_root != nullptr)
        m_root->PrepareDependencies();
}
