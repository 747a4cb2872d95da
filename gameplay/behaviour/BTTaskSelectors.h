// The selector composites: each runs the first child whose condition passes and succeeds with it.
// BTTaskSelector tries them in order, BTTaskPrioritySelector lets a higher child take over from the
// running one, BTTaskRotateSelector starts after the child it used last. Main thread only.
#pragma once

#include "gameplay/behaviour/BehaviourTask.h"

// Runs the first child that passes its condition, then the later ones while they fail.
class BTTaskSelector : public BehaviourChildTask
{
    RTTI_DECLARE_CLASS(BTTaskSelector, BehaviourNode)

public:
    int32_t CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;

protected:
    // Ticks the children after `after` whose condition passes, until one succeeds or runs; the
    // last result, or failure when none ran.
    int32_t TryLaterChildren(BehaviourTreeContext& ctx, uint32_t base, int32_t after, int32_t result) const;
};

// A selector whose higher children (lower index) interrupt the running one when they pass.
class BTTaskPrioritySelector : public BTTaskSelector
{
    RTTI_DECLARE_CLASS(BTTaskPrioritySelector, BehaviourNode)

public:
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;
};

// A selector that starts after the child it used last, wrapping round.
class BTTaskRotateSelector : public BehaviourChildTask
{
    RTTI_DECLARE_CLASS(BTTaskRotateSelector, BehaviourNode)

public:
    int32_t CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Execute(BehaviourTreeContext& ctx, uint32_t base) const override;
};
