#include "gameplay/behaviour/BehaviourTreeContext.h"

#include "gameplay/behaviour/BehaviourTreeEntity.h"

void BehaviourTreeContext::Allocate(uint32_t bytes)
{
    m_data.FreeStorage();
    m_data.AddZeroed(int32_t(bytes));
}

BehaviourTreeEntity* BehaviourTreeContext::GetOwner() const
{
    return m_owner.Get();
}

void BehaviourTreeContext::SetOwner(BehaviourTreeEntity* owner)
{
    m_owner = owner;
}
