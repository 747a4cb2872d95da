#include "gameplay/behaviour/BehaviourTreeAgents.h"

#include "gameplay/behaviour/BehaviourTreeEntity.h"

BehaviourTreeAgents gBehaviourTreeAgents;

void BehaviourTreeAgents::Add(BehaviourTreeEntity* agent)
{
    for (const SafePointer<BehaviourTreeEntity>& listed : m_agents)
        if (listed.Get() == agent)
            return;
    m_agents.Add(SafePointer<BehaviourTreeEntity>(agent));
}

void BehaviourTreeAgents::Remove(const BehaviourTreeEntity* agent)
{
    for (int32_t i = 0; i < m_agents.Count(); ++i)
        if (m_agents[i].Get() == agent)
        {
            if (m_ticking)
                m_agents[i] = nullptr;
            else
                m_agents.RemoveAt(i);
            return;
        }
}

void BehaviourTreeAgents::TickAll()
{
    m_ticking = true;
    // Agents started by a tick join at the end and wait for the next walk.
    const int32_t count = m_agents.Count();
    for (int32_t i = 0; i < count; ++i)
        if (BehaviourTreeEntity* agent = m_agents[i].Get())
            agent->TickTree();
    m_ticking = false;
    int32_t kept = 0;
    for (int32_t i = 0; i < m_agents.Count(); ++i)
        if (m_agents[i].Get() != nullptr)
        {
            if (kept != i)
                m_agents[kept] = m_agents[i];
            ++kept;
        }
    if (kept < m_agents.Count())
        m_agents.RemoveRange(kept, m_agents.Count() - 1);
}

int32_t BehaviourTreeAgents::Count() const
{
    int32_t live = 0;
    for (const SafePointer<BehaviourTreeEntity>& agent : m_agents)
        live += agent.Get() != nullptr ? 1 : 0;
    return live;
}
