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
    // Trees read anew are linked again when an agent next starts.
    void OnPostLoad(uint32_t flags) override;
    void OnUnload() override;
    // Every tree loads the templates its nodes link to, in order.
    void PrepareDependencies() override;

    // The first tree whose name is exactly `name` (bytes compared, case counts); null for a null or
    // empty name.
    BehaviourTree* FindTreeByName(const char* name) const;
    // Links the root of every tree to this template; a call made while linking (a tree that links
    // back here) returns at once. Then cuts every link that closes a loop between trees, so that no
    // walk through linked trees recurses without end.
    void InitTrees();
    // InitTrees, the first time only (agents link their template when they start).
    void LinkTreesOnce();
    bool IsLinking() const { return m_linking != 0; }

    const Dynarray<BehaviourTree*>& GetTrees() const { return m_trees; }
    // Takes ownership.
    void AddTree(BehaviourTree* tree) { m_trees.Add(tree); }
    // Deletes tree `index`; the root decorators of the other trees renumber their links.
    void RemoveTree(int32_t index);

private:
    Dynarray<BehaviourTree*> m_trees;
    uint8_t m_linking = 0;
    bool m_linked = false;
};
