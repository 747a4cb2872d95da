// BTTaskAction: the behaviour tree leaf. It runs the action tick protocol and, having no game work
// of its own, logs its start, each execution and its end, and succeeds. Main thread only.
#pragma once

#include "gameplay/behaviour/BehaviourNode.h"

// Leaf that logs and succeeds.
class BTTaskAction : public BehaviourNode
{
    RTTI_DECLARE_CLASS(BTTaskAction, BehaviourNode)

public:
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourNodeSlice); }
    // Leaves keep no active-child list: the plain child accessors answer.
    BehaviourNode* GetActiveChild(const BehaviourTreeContext& ctx, uint32_t base, uint32_t activeIndex) const override;
    uint32_t GetActiveChildCount(const BehaviourTreeContext& ctx, uint32_t base) const override;
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    void AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const override;
    // 1 interrupt check; 2 an idle action starts only when OnEnter answers running; 3 a running
    // action asked to stop ends with failure; 4 Execute; 5 a finished Execute idles it.
    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t OnEnter(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;
    void OnExit(BehaviourTreeContext& ctx, uint32_t base, bool interrupted) const override;
};
