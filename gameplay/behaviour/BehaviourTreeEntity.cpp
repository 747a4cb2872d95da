#include "gameplay/behaviour/BehaviourTreeEntity.h"

#include "core/console/GameConsole.h"
#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeAgents.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"
#include "scene/kinds/BehaviourTreeTemplate.h"

RTTI_DEFINE_CLASS_TABLE(BehaviourTreeEntity, Entity)

void BehaviourTreeEntity::BuildClassProperties(RTTIPropertiesBase&) {}

BehaviourTreeEntity::~BehaviourTreeEntity()
{
    StopTree();
}

void BehaviourTreeEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    StartTree(m_treeName.CStr());
}

bool BehaviourTreeEntity::StartTree(const char* name)
{
    StopTree();
    m_treeName.Set(name);
    auto* trees = dynamic_cast<BehaviourTreeTemplate*>(GetTemplate());
    if (trees == nullptr)
        return false;
    trees->LinkTreesOnce();
    BehaviourTree* tree = nullptr;
    if (m_treeName.IsEmpty())
    {
        for (BehaviourTree* candidate : trees->GetTrees())
            if (tree == nullptr && candidate != nullptr)
                tree = candidate;
    }
    else
        tree = trees->FindTreeByName(m_treeName.CStr());
    if (tree == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "BehaviourTreeEntity: no behaviour tree \"%s\"", m_treeName.CStr());
        return false;
    }
    m_context = new BehaviourTreeContext;
    m_context->SetOwner(this);
    if (!tree->SetUpContext(*m_context))
    {
        delete m_context;
        m_context = nullptr;
        return false;
    }
    m_tree = tree;
    gBehaviourTreeAgents.Add(this);
    return true;
}

void BehaviourTreeEntity::StopTree()
{
    if (m_context == nullptr)
        return;
    if (const BehaviourTree* tree = m_tree.Get())
        tree->ReleaseContext(*m_context);
    delete m_context;
    m_context = nullptr;
    m_tree = nullptr;
    gBehaviourTreeAgents.Remove(this);
}

int32_t BehaviourTreeEntity::TickTree()
{
    const BehaviourTree* tree = m_tree.Get();
    return tree != nullptr && m_context != nullptr ? tree->Tick(*m_context) : BT_FAILURE;
}

BehaviourTree* BehaviourTreeEntity::GetTree() const
{
    return m_tree.Get();
}

void BehaviourTreeEntity::RequestInterrupt()
{
    if (m_context != nullptr)
        m_context->SetInterruptRequested(true);
}
