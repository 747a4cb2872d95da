#include "gameplay/behaviour/BTTaskSelectors.h"

RTTI_DEFINE_CLASS(BTTaskSelector, BehaviourNode)

void BTTaskSelector::BuildClassProperties(RTTIPropertiesBase&) {}

int32_t BTTaskSelector::CheckOwnCondition(BehaviourTreeContext&, uint32_t) const
{
    return BT_FAILURE;
}

int32_t BTTaskSelector::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return CheckOwnCondition(ctx, base);
    if (slice.state != -1)
        return BT_SUCCESS;
    for (int32_t k = 0; k < count; ++k)
        if (CheckChild(ctx, base, k) == BT_SUCCESS)
        {
            slice.chosen = k;
            return BT_SUCCESS;
        }
    return BT_FAILURE;
}

int32_t BTTaskSelector::TryLaterChildren(BehaviourTreeContext& ctx, uint32_t base, int32_t after, int32_t result) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    const int32_t count = slice.activeCount;
    for (int32_t k = after + 1; k < count; ++k)
    {
        if (CheckChild(ctx, base, k) != BT_SUCCESS)
            continue;
        result = TickChild(ctx, base, k);
        if (result == BT_SUCCESS)
            return BT_SUCCESS;
        if (result == BT_RUNNING)
        {
            slice.state = k;
            return BT_RUNNING;
        }
    }
    return result;
}

int32_t BTTaskSelector::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    if (slice.activeCount == 0)
        return BT_FAILURE;
    const bool idle = slice.state == -1;
    const int32_t first = idle ? slice.chosen : slice.state;
    const bool interrupt = ctx.IsInterruptRequested();
    const int32_t result = TickChild(ctx, base, first);
    if (result == BT_SUCCESS)
        return BT_SUCCESS;
    if (result == BT_RUNNING)
    {
        slice.state = first;
        return BT_RUNNING;
    }
    if (!idle && interrupt)
        return BT_FAILURE;
    return TryLaterChildren(ctx, base, first, BT_FAILURE);
}

RTTI_DEFINE_CLASS(BTTaskPrioritySelector, BehaviourNode)

void BTTaskPrioritySelector::BuildClassProperties(RTTIPropertiesBase&) {}

int32_t BTTaskPrioritySelector::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_FAILURE;
    if (slice.state == -1)
    {
        const int32_t first = slice.chosen;
        const int32_t result = TickChild(ctx, base, first);
        if (result == BT_SUCCESS)
            return BT_SUCCESS;
        if (result == BT_RUNNING)
        {
            slice.state = first;
            return BT_RUNNING;
        }
        return TryLaterChildren(ctx, base, first, result);
    }
    if (ctx.IsInterruptRequested())
        return TickChild(ctx, base, slice.state);
    int32_t running = slice.state;
    int32_t result = BT_FAILURE;
    for (int32_t k = 0; k < count; ++k)
    {
        if (running != -1 && k < running)
        {
            if (CheckChild(ctx, base, k) != BT_SUCCESS)
                continue;
            // A higher child passes: ask the running one to stop first.
            ctx.SetInterruptRequested(true);
            const int32_t stopped = TickChild(ctx, base, running);
            ctx.SetInterruptRequested(false);
            if (stopped == BT_RUNNING)
                return BT_RUNNING;
            running = -1;
        }
        else if (k != running && CheckChild(ctx, base, k) != BT_SUCCESS)
            continue;
        result = TickChild(ctx, base, k);
        if (result == BT_SUCCESS)
            return BT_SUCCESS;
        if (result == BT_RUNNING)
        {
            slice.state = k;
            return BT_RUNNING;
        }
    }
    return result;
}

RTTI_DEFINE_CLASS(BTTaskRotateSelector, BehaviourNode)

void BTTaskRotateSelector::BuildClassProperties(RTTIPropertiesBase&) {}

int32_t BTTaskRotateSelector::CheckOwnCondition(BehaviourTreeContext&, uint32_t) const
{
    return BT_FAILURE;
}

int32_t BTTaskRotateSelector::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return CheckOwnCondition(ctx, base);
    if (slice.state != -1)
        return BT_SUCCESS;
    int32_t j = slice.rotation;
    for (int32_t i = 0; i < count; ++i)
    {
        j = (j + 1) % count;
        if (CheckChild(ctx, base, j) == BT_SUCCESS)
        {
            slice.chosen = j;
            return BT_SUCCESS;
        }
    }
    return BT_FAILURE;
}

int32_t BTTaskRotateSelector::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_FAILURE;
    if (slice.state != -1 && ctx.IsInterruptRequested())
    {
        const int32_t running = slice.state;
        const int32_t result = TickChild(ctx, base, running);
        if (result != BT_RUNNING)
            slice.rotation = running;
        return result;
    }
    const int32_t first = slice.chosen;
    int32_t result = TickChild(ctx, base, first);
    if (result == BT_SUCCESS)
    {
        slice.rotation = first;
        return BT_SUCCESS;
    }
    if (result == BT_RUNNING)
    {
        slice.state = first;
        return BT_RUNNING;
    }
    const int32_t stop = (slice.rotation + 1) % count;
    for (int32_t j = (first + 1) % count; j != stop; j = (j + 1) % count)
    {
        if (CheckChild(ctx, base, j) != BT_SUCCESS)
            continue;
        result = TickChild(ctx, base, j);
        if (result == BT_SUCCESS)
        {
            slice.rotation = j;
            return BT_SUCCESS;
        }
        if (result == BT_RUNNING)
        {
            slice.state = j;
            return BT_RUNNING;
        }
    }
    return result;
}
