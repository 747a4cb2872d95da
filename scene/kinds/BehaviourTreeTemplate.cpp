#include "scene/kinds/BehaviourTreeTemplate.h"

#include "gameplay/BehaviourTree.h"
#include "gameplay/BehaviourTreeEntity.h"

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
            tree->PrepareDependencies();
}

BehaviourTree* BehaviourTreeTemplate::FindTreeByName(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (BehaviourTree* tree : m_trees)
        if (tree != nullptr && std::strcmp(tree->GetName().c_str(), name) == 0)
            return tree;
    return nullptr;
}

void BehaviourTreeTemplate::InitTrees()
{
    if (m_linking != 0)
        return;
    m_linking = 1;
    // By index: a linked node may look trees up while the walk runs.
    for (int32_t i = 0; i < m_trees.Count(); ++i)
        if (BehaviourTree* tree = m_trees[i]; tree != nullptr && tree->GetRoot() != nullptr)
            tree->GetRoot()->Link(*this);
    m_linking = 0;
}
