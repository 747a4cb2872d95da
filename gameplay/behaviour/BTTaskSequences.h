// The sequence composites: BTTaskSequence runs its active children in order until one fails;
// BTTaskRotateSequence does the same starting after the child it used last, wrapping round. Main
// thread only.
#pragma once

#include "gameplay/behaviour/BehaviourTask.h"

// Runs the children in order; succeeds when all succeed.
class BTTaskSequence : public BehaviourTask
{
    RTTI_DECLARE_CLASS(BTTaskSequence, BehaviourNode)

public:
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;

    bool GetFullConditionCheck() const { return m_fullConditionCheck; }
    void SetFullConditionCheck(bool on) { m_fullConditionCheck = on; }
    bool GetForceCompletion() const { return m_forceCompletion; }
    void SetForceCompletion(bool on) { m_forceCompletion = on; }

private:
    // A failing child: parked at the child count (running) with "Force completion", else failure.
    int32_t Fail(BehaviourNodeSlice& slice, int32_t count) const;

    bool m_fullConditionCheck = false;
    bool m_forceCompletion = false;
};

// Runs the children in order from the one after the last used, wrapping round.
class BTTaskRotateSequence : public BehaviourChildTask
{
    RTTI_DECLARE_CLASS(BTTaskRotateSequence, BehaviourNode)

public:
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;

    void SetFullConditionCheck(bool on) { m_fullConditionCheck = on; }
    void SetSkipFailure(bool on) { m_skipFailure = on; }

private:
    // The rotation position after child p failed first in its run.
    int32_t PositionAfterFailure(int32_t p, int32_t count) const { return m_skipFailure ? p : (p + count - 1) % count; }

    bool m_fullConditionCheck = false;
    bool m_skipFailure = true;
};
