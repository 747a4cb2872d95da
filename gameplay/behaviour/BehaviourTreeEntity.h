// BehaviourTreeEntity: the agent a BehaviourTreeTemplate makes. It runs one tree of its template
// (the one named by its tree name, the template's first tree when the name is empty) with a context
// of its own, ticked once per logic tick of the game's frame through gBehaviourTreeAgents. Main
// thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/strings/NameString.h"
#include "scene/entities/Entity.h"

class BehaviourTree;
class BehaviourTreeContext;

// Entity that runs a behaviour tree.
class BehaviourTreeEntity : public Entity
{
    RTTI_DECLARE_CLASS(BehaviourTreeEntity, Entity)

public:
    BehaviourTreeEntity() = default;
    // Releases the context through its tree when the tree still exists.
    ~BehaviourTreeEntity() override;

    // Starts the tree once the entity is made.
    void PostCreateInit() override;

    // Runs the named tree of the template (the first tree for an empty name) from its start, after
    // releasing any tree it ran; false, with nothing running, when there is no such tree or its
    // context cannot be set up.
    bool StartTree(const char* name);
    // Releases the running tree's context.
    void StopTree();
    // One tick of the running tree; failure when none runs.
    int32_t TickTree();
    // Asks the running branch to stop at its next tick.
    void RequestInterrupt();

    const NameString& GetTreeName() const { return m_treeName; }
    BehaviourTree* GetTree() const;
    BehaviourTreeContext* GetContext() const { return m_context; }

private:
    NameString m_treeName;
    SafePointer<BehaviourTree> m_tree;
    BehaviourTreeContext* m_context = nullptr;
};
