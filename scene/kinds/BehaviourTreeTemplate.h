// BehaviourTreeTemplate: the template (type 14) in which behaviour trees are stored and loaded. It
// owns its trees, passes life-cycle calls on to them, links them once and finds a tree by name for
// the nodes that refer to other trees. Main thread only (the resource thread only reads its record).
#pragma once

#include "core/containers/Dynarray.h"
#include "scene/templates/EntityTemplate.h"

class BehaviourTree;

// Template holding behaviour trees.
class BehaviourTreeTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(BehaviourTreeTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 14;

    BehaviourTreeTemplate();
    ~BehaviourTreeTemplate() override;

    const char* GetTemplateClassName() const override { return "BehaviourTreeTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "BehaviourTreeEntity"; }
    void InvalidateSafePointers() override;
    void OnUnload() override;
    // Every tree prepares what its nodes need, in order.
    void PrepareDependencies() override;

    // The first tree whose name is exactly `name` (bytes compared, case counts); null for a null name.
    BehaviourTree* FindTreeByName(const char* name) const;
    // Links the root of every tree to this template once; a call made while linking (a tree that
    // links back here) returns at once.
    void InitTrees();
    bool IsLinking() const { return m_linking != 0; }

    const Dynarray<BehaviourTree*>& GetTrees() const { return m_trees; }
    // Takes ownership.
    void AddTree(BehaviourTree* tree) { m_trees.Add(tree); }

private:
    Dynarray<BehaviourTree*> m_trees;
    uint8_t m_linking = 0;
};
