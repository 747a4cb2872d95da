// The decorators that run another tree inside the same agent context: BTTaskRootDecorator links a
// tree of its own template by index, BTTaskRootLinkDecorator a tree of any template by name. The
// linked tree's root is their only child; its slices sit at a base of their own in the agent's
// block, after the slices of the tree that links it. Main thread only.
//
// Links are resolved when the template links its trees, and loops between trees are cut there
// (CheckNoCycles), so that nothing recurses through linked trees without end.
#pragma once

#include "core/SimpleGUID.h"
#include "gameplay/behaviour/BehaviourNode.h"

class BehaviourTree;
class BehaviourTreeTemplate;

// Slice of a root decorator: where the linked tree's slices start.
struct BehaviourLinkSlice : BehaviourNodeSlice
{
    uint32_t linkedBase;
};

// Common part of the two root decorators. Not a reflected class of its own.
class BehaviourRootDecorator : public BehaviourNode
{
public:
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourLinkSlice); }
    // A root decorator has no children of its own: both refuse, and the offered node stays its
    // caller's (who still holds it).
    bool InsertChild(BehaviourNode* node) override;
    bool AddChild(BehaviourNode* node) override;
    BehaviourNode* GetChild(uint32_t index) const override;
    uint32_t GetChildCount() const override { return LinkedRoot() != nullptr ? 1u : 0u; }
    uint32_t GetActiveChildCount(const BehaviourTreeContext& ctx, uint32_t base) const override;
    BehaviourNode* GetActiveChild(const BehaviourTreeContext& ctx, uint32_t base, uint32_t activeIndex) const override;
    bool IsLeaf() const override { return LinkedRoot() == nullptr; }

    // AssignContextOffsets (inherited) gives it its own slice only: having no children of its own, it
    // leaves the linked tree, whose offsets count from 0 at its own base and were assigned when it
    // was read.
    uint32_t ResetContext(BehaviourTreeContext& ctx, uint32_t base, uint32_t nextFree) const override;
    void PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const override;
    void ReleaseContext(BehaviourTreeContext& ctx, uint32_t base) const override;
    uint32_t GetTreeDataSize() const override { return GetDataSize(); }
    uint32_t GetTotalDataSize() const override;

    bool CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    // Cuts the link that closes a loop: a decorator met again on the path from a root is unlinked.
    bool CheckNoCycles(Dynarray<const BehaviourNode*>& visited) override;

    BehaviourTree* GetLinkedTree() const;
    BehaviourTreeTemplate* GetTemplate() const;

protected:
    BehaviourNode* LinkedRoot() const;
    uint32_t LinkedBase(const BehaviourTreeContext& ctx, uint32_t base) const
    {
        return SliceAs<BehaviourLinkSlice>(ctx, base).linkedBase;
    }
    // Takes the link out for good (until the next LinkTrees).
    virtual void CutLink() = 0;

    SafePointer<BehaviourTreeTemplate> m_template;
    SafePointer<BehaviourTree> m_linked;
};

// Runs entry TreeIndex of its own template's trees.
class BTTaskRootDecorator : public BehaviourRootDecorator
{
    RTTI_DECLARE_CLASS(BTTaskRootDecorator, BehaviourNode)

public:
    void LinkTrees(BehaviourTreeTemplate* owner) override;
    void OnTreeRemoved(int32_t treeIndex) override;

    int32_t GetTreeIndex() const { return m_treeIndex; }
    void SetTreeIndex(int32_t index) { m_treeIndex = index; }

protected:
    void CutLink() override;

private:
    void Resolve();

    int32_t m_treeIndex = -1;
};

// Runs the tree named Tree name of the template Template path (its own template for the null GUID).
class BTTaskRootLinkDecorator : public BehaviourRootDecorator
{
    RTTI_DECLARE_CLASS(BTTaskRootLinkDecorator, BehaviourNode)

public:
    void LinkTrees(BehaviourTreeTemplate* owner) override;
    void PreloadLinks() override;

    void SetTemplatePath(const SimpleGUID& guid) { m_templatePath = guid; }
    void SetTreeName(const char* name) { m_treeName.Set(name); }

protected:
    void CutLink() override;

private:
    SimpleGUID m_templatePath;
    NameString m_treeName;
};
