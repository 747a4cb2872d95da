#include "gameplay/behaviour/BTTaskSequences.h"

RTTI_DEFINE_CLASS(BTTaskSequence, BehaviourNode)

void BTTaskSequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskSequence;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Full condition check", &C::m_fullConditionCheck));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Force completion", &C::m_forceCompletion));
}

int32_t BTTaskSequence::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    const BehaviourNodeSlice& slice = Slice(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_SUCCESS;
    if (m_forceCompletion || slice.state != -1)
        return BT_SUCCESS;
    int32_t result = CheckChild(ctx, base, 0);
    if (result == BT_FAILURE)
        return BT_FAILURE;
    if (m_fullConditionCheck)
        for (int32_t k = 1; k < count; ++k)
            if (ChildWeight(ctx, base, k) != 0 && (result = CheckChild(ctx, base, k)) == BT_FAILURE)
                return BT_FAILURE;
    return result;
}

int32_t BTTaskSequence::Fail(BehaviourNodeSlice& slice, int32_t count) const
{
    if (!m_forceCompletion)
        return BT_FAILURE;
    slice.state = count;
    return BT_RUNNING;
}

int32_t BTTaskSequence::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourNodeSlice& slice = Slice(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_SUCCESS;
    const int32_t state = slice.state;
    const bool interrupt = ctx.IsInterruptRequested();
    if (state == count && interrupt)
        return BT_FAILURE;
    // An interrupted sequence does not go on to later children.
    if (state != -1 && state < count && interrupt)
        return TickChild(ctx, base, state);
    const int32_t first = state == -1 || state == count ? 0 : state;
    int32_t result = TickChild(ctx, base, first);
    if (result == BT_FAILURE)
        return Fail(slice, count);
    if (result == BT_RUNNING)
    {
        slice.state = first;
        return BT_RUNNING;
    }
    for (int32_t k = first + 1; k < count; ++k)
    {
        if (!m_fullConditionCheck && CheckChild(ctx, base, k) != BT_SUCCESS)
            return Fail(slice, count);
        result = TickChild(ctx, base, k);
        if (result == BT_FAILURE)
            return Fail(slice, count);
        if (result == BT_RUNNING)
        {
            slice.state = k;
            return BT_RUNNING;
        }
    }
    return BT_SUCCESS;
}

RTTI_DEFINE_CLASS(BTTaskRotateSequence, BehaviourNode)

void BTTaskRotateSequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskRotateSequence;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Full condition check", &C::m_fullConditionCheck));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("SkipFailure", &C::m_skipFailure));
}

int32_t BTTaskRotateSequence::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    const BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0 || slice.state != -1)
        return BT_SUCCESS;
    int32_t p = (slice.rotation + 1) % count;
    int32_t result = CheckChild(ctx, base, p);
    if (result == BT_FAILURE)
        return BT_FAILURE;
    if (!m_fullConditionCheck)
        return result;
    for (int32_t i = 1; i < count; ++i)
    {
        p = (p + 1) % count;
        if ((result = CheckChild(ctx, base, p)) == BT_FAILURE)
            return BT_FAILURE;
    }
    return result;
}

int32_t BTTaskRotateSequence::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourChildSlice& slice = SliceAs<BehaviourChildSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_SUCCESS;
    int32_t p = slice.rotation;
    int32_t further = count;
    if (slice.state != -1)
    {
        const int32_t running = slice.state;
        const bool interrupt = ctx.IsInterruptRequested();
        const int32_t result = TickChild(ctx, base, running);
        if (result == BT_RUNNING)
            return BT_RUNNING;
        if (result == BT_FAILURE)
        {
            slice.rotation = PositionAfterFailure(running, count);
            return BT_FAILURE;
        }
        if (interrupt)
        {
            slice.rotation = running;
            return BT_SUCCESS;
        }
        // A resumed pass runs the other count - 1 children: with one child there are none, and
        // starting the child that has just succeeded again in the same tick would run it twice.
        p = running;
        further = count - 1;
        if (further == 0)
            return BT_SUCCESS;
    }
    p = (p + 1) % count;
    int32_t result = TickChild(ctx, base, p);
    if (result == BT_FAILURE)
    {
        slice.rotation = PositionAfterFailure(p, count);
        return BT_FAILURE;
    }
    if (result == BT_RUNNING)
    {
        slice.state = p;
        return BT_RUNNING;
    }
    for (int32_t i = 1; i < further; ++i)
    {
        p = (p + 1) % count;
        if (!m_fullConditionCheck && CheckChild(ctx, base, p) != BT_SUCCESS)
        {
            slice.rotation = PositionAfterFailure(p, count);
            return BT_FAILURE;
        }
        result = TickChild(ctx, base, p);
        if (result == BT_FAILURE)
        {
            slice.rotation = m_skipFailure ? (p + 1) % count : p;
            return BT_FAILURE;
        }
        if (result == BT_RUNNING)
        {
            slice.state = p;
            return BT_RUNNING;
        }
    }
    return BT_SUCCESS;
}
