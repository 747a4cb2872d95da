#include "gameplay/behaviour/BTTaskAction.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS(BTTaskAction, BehaviourNode)

void BTTaskAction::BuildClassProperties(RTTIPropertiesBase&) {}

BehaviourNode* BTTaskAction::GetActiveChild(const BehaviourTreeContext&, uint32_t, uint32_t activeIndex) const
{
    return GetChild(activeIndex);
}

uint32_t BTTaskAction::GetActiveChildCount(const BehaviourTreeContext&, uint32_t) const
{
    return GetChildCount();
}

void BTTaskAction::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    slice.state = -1;
    slice.activeIndices = nullptr;
    slice.activeCount = 0;
}

void BTTaskAction::AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    if (slice.state == -1)
        return;
    slice.state = -1;
    OnExit(ctx, base, true);
}

int32_t BTTaskAction::Tick(BehaviourTreeContext& ctx, uint32_t base) const
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
    else if (ctx.IsInterruptRequested())
    {
        OnExit(ctx, base, true);
        slice.state = -1;
        return BT_FAILURE;
    }
    const int32_t result = Execute(ctx, base);
    if (result == BT_RUNNING)
    {
        slice.state = 1;
        return BT_RUNNING;
    }
    slice.state = -1;
    OnExit(ctx, base, false);
    return result;
}

int32_t BTTaskAction::OnEnter(BehaviourTreeContext&, uint32_t) const
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_REPORT, "Start Action %s -> Action", GetName().CStr());
    return BT_RUNNING;
}

int32_t BTTaskAction::Execute(BehaviourTreeContext&, uint32_t) const
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_REPORT, "Execute Behaviour Tree: %s -> Action", GetName().CStr());
    return BT_SUCCESS;
}

void BTTaskAction::OnExit(BehaviourTreeContext&, uint32_t, bool) const
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_REPORT, "Finish Action %s -> Action", GetName().CStr());
}
