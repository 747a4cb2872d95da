#include "gameplay/behaviour/BehaviourTask.h"

void BehaviourTask::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    slice.state = -1;
    slice.activeIndices = nullptr;
    slice.activeCount = 0;
}

void BehaviourTask::BuildActiveChildren(BehaviourTreeContext& ctx, uint32_t base) const
{
    BuildActiveChildList(ctx, base);
}

void BehaviourTask::AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state == -1)
        return;
    slice.state = -1;
    OnExit(ctx, base, true);
}

void BehaviourTask::FreeNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    delete[] slice.activeIndices;
    slice.activeIndices = nullptr;
}

bool BehaviourTask::CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const
{
    if (!IsInterruptible(ctx, base))
        return false;
    // Only a state naming an active child has a running child to ask: a sequence parked by "Force
    // completion" keeps the child count there, which names no child.
    const BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state < 0 || slice.state >= int32_t(slice.activeCount))
        return true;
    return GetActiveChild(ctx, base, uint32_t(slice.state))->CanInterrupt(ctx, base);
}

int32_t BehaviourTask::Tick(BehaviourTreeContext& ctx, uint32_t base) const
{
    if (ctx.IsInterruptRequested() && !IsInterruptible(ctx, base))
        ctx.SetInterruptRequested(false);
    BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state == -1)
    {
        const int32_t entered = OnEnter(ctx, base);
        if (entered != BT_RUNNING)
            return entered;
    }
    const int32_t result = Execute(ctx, base);
    if (result != BT_RUNNING)
    {
        slice.state = -1;
        OnExit(ctx, base, false);
        return result;
    }
    if (slice.activeCount == 0)
        slice.state = 1;
    return BT_RUNNING;
}

void BehaviourChildTask::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourTask::ResetNodeData(ctx, base);
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    slice.rotation = -1;
    slice.chosen = 0;
}
