#include "gameplay/behaviour/BTTaskRandomSelector.h"

#include "core/math/RandomGenerator.h"

#include <cstring>

RTTI_DEFINE_CLASS(BTTaskRandomSelector, BehaviourNode)

void BTTaskRandomSelector::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BTTaskRandomSelector;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Single check in tick", &C::m_singleCheckInTick));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Pick only one", &C::m_pickOnlyOne));
}

void BTTaskRandomSelector::ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourTask::ResetNodeData(ctx, base);
    BehaviourRandomSlice& slice = SliceAs<BehaviourRandomSlice>(ctx, base);
    slice.resetFlag = 1;
    std::memset(slice.used, 0, GetChildCount());
}

int32_t BTTaskRandomSelector::CheckOwnCondition(BehaviourTreeContext&, uint32_t) const
{
    return BT_FAILURE;
}

int32_t BTTaskRandomSelector::CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const
{
    const BehaviourNodeSlice& slice = Slice(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return CheckOwnCondition(ctx, base);
    if (m_pickOnlyOne || slice.state != -1)
        return BT_SUCCESS;
    int32_t first = 0;
    while (first < count && ChildWeight(ctx, base, first) == 0)
        ++first;
    // From the first child of some weight on, later children of weight 0 are checked too.
    for (int32_t k = first; k < count; ++k)
        if (CheckChild(ctx, base, k) == BT_SUCCESS)
            return BT_SUCCESS;
    return BT_FAILURE;
}

int32_t BTTaskRandomSelector::Execute(BehaviourTreeContext& ctx, uint32_t base) const
{
    BehaviourRandomSlice& slice = SliceAs<BehaviourRandomSlice>(ctx, base);
    const int32_t count = slice.activeCount;
    if (count == 0)
        return BT_FAILURE;
    int32_t result = BT_FAILURE;
    if (ctx.IsInterruptRequested() && slice.resetFlag == 0)
    {
        slice.resetFlag = 1;
        return BT_FAILURE;
    }
    uint8_t* const used = slice.used;
    if (slice.resetFlag != 0)
        std::memset(used, 0, size_t(count));
    if (slice.state != -1)
        return TickChild(ctx, base, slice.state);
    for (int32_t round = 0; round < count; ++round)
    {
        uint32_t total = 0;
        for (int32_t k = 0; k < count; ++k)
            if (used[k] == 0)
                total += ChildWeight(ctx, base, k);
        if (total == 0)
            return result;
        uint32_t pick = gRandomGenerators[0].NextMultiplyWithCarry() % total;
        for (int32_t k = 0; k < count; ++k)
        {
            if (used[k] != 0)
                continue;
            const uint32_t weight = ChildWeight(ctx, base, k);
            if (weight == 0)
                continue;
            if (pick >= weight)
            {
                pick -= weight;
                continue;
            }
            if (CheckChild(ctx, base, k) == BT_SUCCESS)
            {
                slice.resetFlag = 1;
                result = TickChild(ctx, base, k);
                if (result == BT_SUCCESS)
                    return BT_SUCCESS;
                if (result == BT_RUNNING)
                {
                    slice.state = k;
                    return BT_RUNNING;
                }
            }
            if (m_pickOnlyOne)
                return BT_FAILURE;
            used[k] = 1;
            if (m_singleCheckInTick && std::memchr(used, 0, size_t(count)) != nullptr)
            {
                slice.resetFlag = 0;
                return BT_RUNNING;
            }
        }
    }
    return result;
}
