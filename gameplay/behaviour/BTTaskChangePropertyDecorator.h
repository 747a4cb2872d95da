// BTTaskChangePropertyDecorator: opens a property scope for its subtree. While any call runs below
// it, the agent's current store is the decorator's own, filled from its speakers plus the outer
// values its listeners forward under new keys; nothing else of the outer scope is visible inside.
// Main thread only.
#pragma once

#include "gameplay/behaviour/BehaviourDecorator.h"

class BehaviourTreePropertySpeaker;

// Slice of the decorator: its store for this agent and the store current before its push.
struct BehaviourScopeSlice : BehaviourNodeSlice
{
    BehaviourPropertyStore* store;
    BehaviourPropertyStore* saved;
};

// Decorator publishing its speakers' values to its subtree.
class BTTaskChangePropertyDecorator : public BehaviourDecorator
{
    RTTI_DECLARE_CLASS(BTTaskChangePropertyDecorator, BehaviourNode)

public:
    BTTaskChangePropertyDecorator() = default;
    ~BTTaskChangePropertyDecorator() override;

    void InvalidateSafePointers() override;
    void LinkListeners() override;
    uint32_t GetRawDataSize() const override { return sizeof(BehaviourScopeSlice); }
    void ResetNodeData(BehaviourTreeContext& ctx, uint32_t base) const override;
    void PrepareContext(BehaviourTreeContext& ctx, uint32_t base) const override;
    void CreateNodeScope(BehaviourTreeContext& ctx, uint32_t base) const override;
    void DestroyNodeScope(BehaviourTreeContext& ctx, uint32_t base) const override;
    void CollectListenedKeys(DynarraySafe<NameString>& keys) const override;
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override;

    // Makes this decorator's store, refilled, the context's current store; false (nothing changed)
    // when the agent has no store for it (its context was not prepared).
    virtual bool PushScope(BehaviourTreeContext& ctx, uint32_t base) const;
    void PopScope(BehaviourTreeContext& ctx, uint32_t base) const;

    const Dynarray<BehaviourTreePropertySpeaker*>& GetSpeakers() const { return m_speakers; }
    // Takes ownership; the speaker's owner becomes this decorator.
    void AddSpeaker(BehaviourTreePropertySpeaker* speaker);

protected:
    int32_t TickChild(BehaviourTreeContext& ctx, uint32_t base) const override;

private:
    Dynarray<BehaviourTreePropertySpeaker*> m_speakers;
};
