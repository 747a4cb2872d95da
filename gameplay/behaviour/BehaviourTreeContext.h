// BehaviourTreeContext: everything one agent keeps while it runs a behaviour tree. Main thread only.
//
// The data block holds one slice per node of the tree and of every tree linked into it, each a
// multiple of 16 bytes at an offset fixed when the context is set up; it is sized once and never
// moves while the agent runs. The property store pointer names the current scope: the context's own
// store outside every change-property decorator, a decorator's store while a call runs below it.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "gameplay/behaviour/BehaviourPropertyStore.h"

#include <cstdint>

class BehaviourTreeEntity;

// One agent's tree state.
class BehaviourTreeContext
{
public:
    BehaviourTreeContext() = default;
    BehaviourTreeContext(const BehaviourTreeContext&) = delete;
    BehaviourTreeContext& operator=(const BehaviourTreeContext&) = delete;

    // Sizes the data block (zeroed); the block is 16-byte aligned and every slice a multiple of 16.
    void Allocate(uint32_t bytes);
    uint32_t GetDataSize() const { return uint32_t(m_data.Count()); }
    // The slice at an absolute offset. Slices are per-agent state: nodes, which are shared and
    // const while they run, write their slices through a const context too.
    uint8_t* SliceAt(uint32_t offset) const { return const_cast<uint8_t*>(m_data.Data()) + offset; }

    BehaviourPropertyStore* GetPropertyStore() const { return m_propertyStore; }
    void SetPropertyStore(BehaviourPropertyStore* store) { m_propertyStore = store; }
    BehaviourPropertyStore& GetOwnStore() { return m_ownStore; }

    bool IsInterruptRequested() const { return m_interruptRequested != 0; }
    void SetInterruptRequested(bool requested) { m_interruptRequested = requested ? 1 : 0; }

    BehaviourTreeEntity* GetOwner() const;
    void SetOwner(BehaviourTreeEntity* owner);

private:
    Dynarray<uint8_t> m_data;
    SafePointer<BehaviourTreeEntity> m_owner;
    BehaviourPropertyStore m_ownStore;
    BehaviourPropertyStore* m_propertyStore = &m_ownStore;
    uint8_t m_interruptRequested = 0;
};
