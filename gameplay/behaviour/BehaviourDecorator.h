// BehaviourDecorator: base of the decorators, which wrap exactly one child and change how it
// starts, what it reports or where it comes from. It runs the decorator tick protocol; unlike a
// composite, its condition check evaluates its own condition every time, running or not. Main
// thread only.
#pragma once

#include "gameplay/behaviour/BehaviourNode.h"

// Not a reflected class of its own: the node kinds register with "BehaviourNode" as their base.
class BehaviourDecorator : public BehaviourNode
{
public:
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourNodeSlice); }
    // A decorator holds one child: a node inserted while it has one wraps that child (the child
    // becomes the new node's child). Refused, with nothing changed, when it would close a loop or
    // the new node does not take the child.
    bool InsertChild(BehaviourNode* node) override;
    bool AddChild(BehaviourNode* node) override { return InsertChild(node); }
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    // Count 1 when the child exists and is not disabled in the current scope, else 0.
    void BuildActiveChildren(BehaviourTreeContext& ctx, uint32_t base) const override;
    void AbortIfRunning(BehaviourTreeContext& ctx, uint32_t base) const override;
    void FreeNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    bool CanInterrupt(const BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override { return DecoratorTick(ctx, base); }
    // A decorator's own work is its child's: it lets the tick go on to the child.
    int32_t Execute(BehaviourTreeContext&, uint32_t) const override { return BT_RUNNING; }
    // Fails without an active child; else its own condition, then the child's.
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;

protected:
    // 1 interrupt check; 2 an idle decorator starts (OnEnter, Execute) and ticks its child, failing
    // without one; 3 a running one ticks its child; 4 a finished child idles the decorator.
    int32_t DecoratorTick(BehaviourTreeContext& ctx, uint32_t base) const;
    // The one child's Tick (change-property decorators wrap it in their scope).
    virtual int32_t TickChild(BehaviourTreeContext& ctx, uint32_t base) const;
    BehaviourNode* ActiveChild(const BehaviourTreeContext& ctx, uint32_t base) const
    {
        return ActiveChildOf(Slice(ctx, base), 0);
    }
};

// Passes its child's results through.
class BTTaskDummyDecorator : public BehaviourDecorator
{
    RTTI_DECLARE_CLASS(BTTaskDummyDecorator, BehaviourNode)
};

// Passes its condition with a probability in percent, drawn at each condition check.
class BTTaskRandomDecorator : public BehaviourDecorator
{
    RTTI_DECLARE_CLASS(BTTaskRandomDecorator, BehaviourNode)

public:
    int32_t CheckOwnCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    void SetProbability(float percent) { m_probability = percent; }

private:
    float m_probability = 50.0f;
};

// Maps its child's results: "Default", "Invert", "Success" or "Failure".
class BTTaskChangeStateDecorator : public BehaviourDecorator
{
    RTTI_DECLARE_CLASS(BTTaskChangeStateDecorator, BehaviourNode)

public:
    enum ReturnState : uint32_t
    {
        RETURN_DEFAULT = 0,
        RETURN_INVERT = 1,
        RETURN_SUCCESS = 2,
        RETURN_FAILURE = 3,
    };

    // A result (success or failure) mapped through a return state.
    static int32_t Map(int32_t result, uint32_t state);

    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;
    void SetReturnStates(uint32_t condition, uint32_t execution)
    {
        m_conditionReturnState = condition;
        m_executionReturnState = execution;
    }

private:
    uint32_t m_conditionReturnState = RETURN_DEFAULT;
    uint32_t m_executionReturnState = RETURN_DEFAULT;
};

// Turns its child's failure into success (running and success pass through).
class BTTaskAlwaysTrueActionDecorator : public BehaviourDecorator
{
    RTTI_DECLARE_CLASS(BTTaskAlwaysTrueActionDecorator, BehaviourNode)

public:
    int32_t Tick(BehaviourTreeContext& ctx, uint32_t base) const override;
};
