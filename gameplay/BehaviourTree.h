// BehaviourTree: a named tree of BehaviourTreeNode objects, stored in a BehaviourTreeTemplate. The
// node kinds, their evaluation and the entity that runs a tree belong to the gameplay services; so
// far only the stored form and the life-cycle calls a template passes on exist. Main thread only
// (templates may be read on the resource thread, which only deserializes).
#pragma once

#include "core/reflection/RTTIClass.h"

#include <string>

class BehaviourTreeTemplate;

// One node of a behaviour tree; node kinds derive from it.
class BehaviourTreeNode : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourTreeNode, RTTIPolyBaseClass)

public:
    // Ties the node to the template that stores its tree (nodes that name other trees find them
    // there); the base kind refers to nothing.
    virtual void Link(BehaviourTreeTemplate& owner) { (void)owner; }
    // The template's resources are being dropped.
    virtual void OnUnload() {}
    // The template is about to be used: request what the node needs.
    virtual void PrepareDependencies() {}
};

// A named tree with its root node (owned).
class BehaviourTree : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourTree, RTTIPolyBaseClass)

public:
    BehaviourTree() = default;
    ~BehaviourTree() override;
    BehaviourTree(const BehaviourTree&) = delete;
    BehaviourTree& operator=(const BehaviourTree&) = delete;

    const std::string& GetName() const { return m_name; }
    void SetName(const char* name) { m_name = name != nullptr ? name : ""; }
    BehaviourTreeNode* GetRoot() const { return m_root; }
    // Takes ownership; the old root is deleted.
    void SetRoot(BehaviourTreeNode* root);

    void InvalidateSafePointers() override;
    void OnUnload();
    void PrepareDependencies();

private:
    std::string m_name;
    BehaviourTreeNode* m_root = nullptr;
};
