// BehaviourTreeAgents (global gBehaviourTreeAgents): the behaviour tree entities whose trees run,
// ticked once per logic tick of the game's frame after the script entities. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class BehaviourTreeEntity;

// The running agents, held by safe pointers: an agent that dies leaves a null entry the next walk drops.
class BehaviourTreeAgents
{
public:
    BehaviourTreeAgents() = default;
    BehaviourTreeAgents(const BehaviourTreeAgents&) = delete;
    BehaviourTreeAgents& operator=(const BehaviourTreeAgents&) = delete;

    // Each agent is listed once.
    void Add(BehaviourTreeEntity* agent);
    void Remove(const BehaviourTreeEntity* agent);
    // Ticks every listed agent's tree once, in the order they started.
    void TickAll();
    // Agents still alive.
    int32_t Count() const;

private:
    SafePointerArray<BehaviourTreeEntity> m_agents;
    // True while TickAll walks: agents leaving then are only cleared, so indices stay valid.
    bool m_ticking = false;
};

extern BehaviourTreeAgents gBehaviourTreeAgents;
