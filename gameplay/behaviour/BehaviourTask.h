// BehaviourTask: base of the composite tasks (sequences and selectors). It runs the task tick
// protocol and keeps the active-child list in its slice; each composite supplies Execute and
// CheckCondition. Main thread only.
#pragma once

#include "gameplay/behaviour/BehaviourNode.h"

// Slice of the composites that remember a child between runs.
struct BehaviourChildSlice : BehaviourNodeSlice
{
    // Rotation position: the child a rotating composite used last (-1 before the first run).
    int32_t rotation;
    // The child the last condition check of a selector found passing.
    int32_t chosen;
};

// Composite task: the task tick protocol over active children.
// Not a reflected class of its own: the node kinds register with "BehaviourNode" as their base.
class BehaviourTask : public BehaviourNode
{
public:
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourNodeSlice); }
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    void BuildActiveChildren(BehaviourTreeContext& ctx, uint32_t base) const override;
    void AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const override;
    void FreeNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    bool CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const override;
    // 1 interrupt check; 2 an idle node starts only when OnEnter answers running; 3 Execute;
    // 4 a finished Execute idles the node; 5 otherwise it runs on.
    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override;

protected:
    // Shorthands over the active children, with this node's context and base.
    int32_t TickChild(BehaviourTreeContext& ctx, uint32_t base, int32_t activeIndex) const
    {
        return ActiveChildOf(Slice(ctx, base), uint32_t(activeIndex))->Tick(ctx, base);
    }
    int32_t CheckChild(BehaviourTreeContext& ctx, uint32_t base, int32_t activeIndex) const
    {
        return ActiveChildOf(Slice(ctx, base), uint32_t(activeIndex))->CheckCondition(ctx, base);
    }
    uint32_t ChildWeight(BehaviourTreeContext& ctx, uint32_t base, int32_t activeIndex) const
    {
        return ActiveChildOf(Slice(ctx, base), uint32_t(activeIndex))->GetWeight(ctx, base);
    }
};

// A composite whose slice also keeps the rotation position and the chosen child.
class BehaviourChildTask : public BehaviourTask
{
public:
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourChildSlice); }
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
};
