// BehaviourTree: a named tree of behaviour nodes, stored in a BehaviourTreeTemplate, and the set-up,
// tick and release of one agent's context over it. Main thread only (templates may be read on the
// resource thread, which only deserializes).
//
// After a tree is read its nodes learn their parents and listeners, and their context offsets are
// assigned afresh for this build's slice sizes: the stored ContextDataIndex values are never used,
// so a tree whose stored offsets are missing or disagree runs all the same.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

class BehaviourNode;
class BehaviourTreeContext;

// A named tree with its root node (owned).
class BehaviourTree : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourTree, RTTIPolyBaseClass)

public:
    // An agent's context never grows beyond this: trees linked many times over are refused.
    static constexpr uint32_t kMaxContextBytes = 16u << 20;

    BehaviourTree() = default;
    ~BehaviourTree() override;
    BehaviourTree(const BehaviourTree&) = delete;
    BehaviourTree& operator=(const BehaviourTree&) = delete;

    const NameString& GetName() const { return m_name; }
    void SetName(const char* name) { m_name.Set(name); }
    BehaviourNode* GetRoot() const { return m_root; }
    // Takes ownership (the old root is deleted) and lays the tree out.
    void SetRoot(BehaviourNode* root);
    // Parents, listener owners and context offsets of every node, from the root.
    void LayOut();

    void InvalidateSafePointers() override;
    void OnPostLoad(uint32_t flags) override;
    // The template's resources are being dropped.
    void OnUnload();
    // The template is about to be used: trees linked from other templates are loaded.
    virtual void PreloadLinks();

    // Bytes of one agent's context (0 without a root).
    uint32_t GetContextDataSize() const;
    // Prepares `ctx` for one agent: links that close loops are cut, the data block is sized, every
    // slice reset and the active children and scopes built. False (logged) without a root or when
    // the context would be too large.
    bool SetUpContext(BehaviourTreeContext& ctx);
    // One tick of the agent: the root's result.
    int32_t Tick(BehaviourTreeContext& ctx) const;
    // Running nodes are told they were interrupted; index arrays and scopes are freed.
    void ReleaseContext(BehaviourTreeContext& ctx) const;

private:
    NameString m_name;
    BehaviourNode* m_root = nullptr;
};
