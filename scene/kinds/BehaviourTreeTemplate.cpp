#include "scene/kinds/BehaviourTreeTemplate.h"

#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeEntity.h"

#include <cstring>

RTTI_DEFINE_CLASS(BehaviourTreeTemplate, EntityTemplate)

void BehaviourTreeTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<BehaviourTreeTemplate, BehaviourTree>(
        "Trees", &BehaviourTreeTemplate::m_trees));
}

BehaviourTreeTemplate::BehaviourTreeTemplate()
{
    SetTypeId(kTypeId);
}

BehaviourTreeTemplate::~BehaviourTreeTemplate()
{
    m_trees.DeleteAllPointers();
}

Entity* BehaviourTreeTemplate::CreateEntity()
{
    return new BehaviourTreeEntity;
}

void BehaviourTreeTemplate::InvalidateSafePointers()
{
    EntityTemplate::InvalidateSafePointers();
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr)
            tree->InvalidateSafePointers();
}

void BehaviourTreeTemplate::OnPostLoad(uint32_t flags)
{
    EntityTemplate::OnPostLoad(flags);
    m_linked = false;
}

void BehaviourTreeTemplate::OnUnload()
{
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr)
            tree->OnUnload();
}

void BehaviourTreeTemplate::PrepareDependencies()
{
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr)
            tree->PreloadLinks();
}

BehaviourTree* BehaviourTreeTemplate::FindTreeByName(const char* name) const
{
    if (name == nullptr || name[0] == 0)
        return nullptr;
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr && std::strcmp(tree->GetName().CStr(), name) == 0)
            return tree;
    return nullptr;
}

void BehaviourTreeTemplate::InitTrees()
{
    if (m_linking != 0)
        return;
    m_linking = 1;
    m_linked = true;
    // By index: a linked node may look trees up while the walk runs.
    for (int32_t i = 0; i < m_trees.Count(); ++i)
        if (BehaviourTree* tree = m_trees[i]; tree != nullptr && tree->GetRoot() != nullptr)
            tree->GetRoot()->LinkTrees(this);
    Dynarray<const BehaviourNode*> path;
    for (int32_t i = 0; i < m_trees.Count(); ++i)
        if (BehaviourTree* tree = m_trees[i]; tree != nullptr && tree->GetRoot() != nullptr)
            tree->GetRoot()->CheckNoCycles(path);
    m_linking = 0;
}

void BehaviourTreeTemplate::LinkTreesOnce()
{
    if (!m_linked)
        InitTrees();
}

void BehaviourTreeTemplate::RemoveTree(int32_t index)
{
    if (index < 0 || index >= m_trees.Count())
        return;
    delete m_trees[index];
    m_trees.RemoveAt(index);
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr && tree->GetRoot() != nullptr)
            tree->GetRoot()->OnTreeRemoved(index);
}
