// BehaviourNode: one node of a behaviour tree, and the base of every node kind. Main thread only
// (templates may be read on the resource thread, which only deserializes nodes).
//
// Behaviour trees decide, tick by tick, what an agent does. Node objects are authored data shared
// by every agent that runs the tree and never change while trees run; everything an agent must
// remember lives in its BehaviourTreeContext, a byte block in which each node owns a slice at its
// ContextDataIndex (plus the base of the tree the node belongs to: trees linked by root decorators
// sit further on in the same block). Offsets are computed here by AssignContextOffsets after a tree
// is read, for this build's slice sizes; the stored ContextDataIndex is never trusted.
//
// Ticking a tree calls the root's Tick with an agent's context; each node answers success (0),
// failure (1) or running (2). A context is set up by ResetContext (slices idle) and PrepareContext
// (active-child lists, property scopes), and torn down by ReleaseContext.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"

#include <cstdint>

class BehaviourTreeTemplate;
class BehaviourTreePropertyListener;

// Results of Tick and CheckCondition.
enum BehaviourResult : int32_t
{
    BT_SUCCESS = 0,
    BT_FAILURE = 1,
    BT_RUNNING = 2,
};

// The slice every task, decorator and action keeps: the state word (-1 idle, else running: the
// running child's index in composites, 1 in leaves and decorators) and its active children.
struct BehaviourNodeSlice
{
    int32_t state;
    uint8_t activeCount;
    uint8_t unused[3];
    // Active index i maps to child activeIndices[i]; null when no child is disabled.
    uint8_t* activeIndices;
};
static_assert(sizeof(BehaviourNodeSlice) == 16, "slices are laid out for 64-bit pointers");

// Base of the node kinds: tree structure, listeners, context layout and the default operations.
class BehaviourNode : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BehaviourNode, RTTIPolyBaseClass)

public:
    // Active child counts and indices are bytes.
    static constexpr uint32_t kMaxChildren = 255;
    // Flag of the properties a listener may bind.
    static constexpr uint32_t kListenableFlag = 0x80000;

    BehaviourNode() = default;
    // Leaves its parent's child list, then destroys its children (last first) and its listeners.
    ~BehaviourNode() override;
    BehaviourNode(const BehaviourNode&) = delete;
    BehaviourNode& operator=(const BehaviourNode&) = delete;

    void InvalidateSafePointers() override;
    // The template's resources are being dropped: passed on to every child.
    virtual void OnUnload();

    const char* GetClassName() const { return GetClassProperties()->GetClassName(); }
    // Sets the owner of every listener (and speaker) to this node, in the whole subtree.
    virtual void LinkListeners();

    // Structure.
    virtual BehaviourNode* GetActiveChild(const BehaviourTreeContext& ctx, uint32_t base, uint32_t activeIndex) const;
    virtual BehaviourNode* GetChild(uint32_t index) const;
    virtual uint32_t GetActiveChildCount(const BehaviourTreeContext& ctx, uint32_t base) const;
    virtual uint32_t GetChildCount() const { return uint32_t(m_children.Count()); }
    // Refuse (false, nothing changed) a node that would close a loop or a 256th child; otherwise
    // the node becomes a child at the front or the end.
    virtual bool InsertChild(BehaviourNode* node);
    virtual bool AddChild(BehaviourNode* node);
    // Takes the child out of this node's list without destroying it.
    bool RemoveChild(BehaviourNode* node);
    virtual bool IsLeaf() const { return m_children.IsEmpty(); }
    BehaviourNode* GetParent() const { return m_parent; }
    // Sets the parent of every node below this one (after a tree was read).
    void LinkParents();

    // Context layout and life cycle.
    virtual uint32_t AssignContextOffsets(uint32_t runningOffset);
    virtual uint32_t ResetContext(BehaviourTreeContext& ctx, uint32_t base, uint32_t nextFree) const;
    virtual void PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void BuildActiveChildren(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void ReleaseContext(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void CreateNodeScope(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void DestroyNodeScope(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void FreeNodeData(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual uint32_t GetTreeDataSize() const;
    virtual uint32_t GetTotalDataSize() const;
    uint32_t GetDataSize() const { return (GetRawDataSize() + 15u) & ~15u; }
    virtual uint32_t GetRawDataSize() const { return 0; }
    int32_t GetContextDataIndex() const { return m_contextDataIndex; }

    // Listened keys and bindable properties (editors and speakers).
    virtual void CollectListenedKeys(DynarraySafe<NameString>& keys) const;
    void CollectSubtreeListenedKeys(DynarraySafe<NameString>& keys) const;
    void GetListenableProperties(DynarraySafe<NameString>& names) const;

    // Interruption.
    bool IsInterruptible(const BehaviourTreeContext& ctx, uint32_t base) const;
    virtual bool CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const;

    // Links between trees.
    virtual void LinkTrees(BehaviourTreeTemplate* owner);
    virtual bool CheckNoCycles(Dynarray<const BehaviourNode*>& visited);
    virtual void OnTreeRemoved(int32_t treeIndex);
    virtual void PreloadLinks();

    // Ticking.
    virtual int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual int32_t CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual int32_t OnEnter(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const;
    virtual void OnExit(BehaviourTreeContext& ctx, uint32_t base, bool interrupted) const;
    uint32_t GetWeight(const BehaviourTreeContext& ctx, uint32_t base) const;
    // Disabled, read through a listener in the context's current scope when one is bound.
    bool IsDisabled(const BehaviourTreeContext* ctx) const;

    // Fields.
    const NameString& GetName() const { return m_name; }
    void SetName(const char* name) { m_name.Set(name); }
    bool GetInterrupted() const { return m_interrupted; }
    void SetInterrupted(bool interrupted) { m_interrupted = interrupted; }
    bool GetDisabled() const { return m_disabled; }
    void SetDisabled(bool disabled) { m_disabled = disabled; }
    uint32_t GetWeightField() const { return m_weight; }
    void SetWeight(uint32_t weight) { m_weight = weight; }
    const Dynarray<BehaviourNode*>& GetChildren() const { return m_children; }
    const Dynarray<BehaviourTreePropertyListener*>& GetListeners() const { return m_listeners; }
    // Takes ownership; the listener's owner becomes this node.
    void AddListener(BehaviourTreePropertyListener* listener);
    // The first listener bound to `property` (exact name), or null.
    const BehaviourTreePropertyListener* FindListener(const NameString& property) const;

protected:
    BehaviourNodeSlice& Slice(const BehaviourTreeContext& ctx, uint32_t base) const
    {
        return *reinterpret_cast<BehaviourNodeSlice*>(ctx.SliceAt(uint32_t(m_contextDataIndex) + base));
    }
    template <class TSlice>
    TSlice& SliceAs(const BehaviourTreeContext& ctx, uint32_t base) const
    {
        return *reinterpret_cast<TSlice*>(ctx.SliceAt(uint32_t(m_contextDataIndex) + base));
    }
    // Active child i of a slice built by BuildActiveChildList, without the virtual accessors: the
    // composites and decorators, whose children are their own, tick through it.
    BehaviourNode* ActiveChildOf(const BehaviourNodeSlice& slice, uint32_t activeIndex) const
    {
        return m_children[int32_t(slice.activeIndices != nullptr ? slice.activeIndices[activeIndex] : activeIndex)];
    }
    // True when this node is `node` or one of its ancestors (adding `node` would close a loop).
    bool WouldCloseLoop(const BehaviourNode* node) const;
    // Makes `node` a child at the front or the end, taking it from its former parent; no checks.
    void AttachChild(BehaviourNode* node, bool atFront);
    // A float property read through its listener in the current scope, else `field`.
    float ReadBoundFloat(const BehaviourTreeContext* ctx, const NameString& property, float field) const;
    // Builds the active-child list of the slice: the children that are not disabled in the current
    // scope (an index array only when some are).
    void BuildActiveChildList(BehaviourTreeContext& ctx, uint32_t base) const;

private:
    BehaviourNode* m_parent = nullptr;
    NameString m_name;
    NameString m_devComments;
    Dynarray<BehaviourNode*> m_children;
    int32_t m_contextDataIndex = -1;
    bool m_interrupted = true;
    bool m_disabled = false;
    bool m_collapsed = false;
    uint32_t m_weight = 1;
    uint32_t m_breakpoint = 0;
    Dynarray<BehaviourTreePropertyListener*> m_listeners;
};
