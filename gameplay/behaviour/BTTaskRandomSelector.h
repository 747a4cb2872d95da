// BTTaskRandomSelector: a selector that picks its children at random, weighted by their Weight,
// each at most once per selection. Main thread only (it draws from the global generator).
#pragma once

#include "gameplay/behaviour/BehaviourTask.h"

// Slice of the random selector: the reset flag and one used flag per child after it.
struct BehaviourRandomSlice : BehaviourNodeSlice
{
    uint32_t resetFlag;
    uint8_t used[4];
};

// Weighted random choice among the active children.
class BTTaskRandomSelector : public BehaviourTask
{
    RTTI_DECLARE_CLASS(BTTaskRandomSelector, BehaviourNode)

public:
    static constexpr uint32_t kUsedFlagsOffset = sizeof(BehaviourNodeSlice) + sizeof(uint32_t);

    uint32_t GetRawDataSize() const override { return kUsedFlagsOffset + GetChildCount(); }
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;

    void SetSingleCheckInTick(bool on) { m_singleCheckInTick = on; }
    void SetPickOnlyOne(bool on) { m_pickOnlyOne = on; }

private:
    bool m_singleCheckInTick = false;
    bool m_pickOnlyOne = false;
};
