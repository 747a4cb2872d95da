// EntitySetIterator: a script-owned walk over the members of an entity set, or over every entity
// that shares a set with a given one. Members are held by safe pointers; deleted ones are skipped.
// Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class Entity;

// Cursor over a snapshot of set members.
class EntitySetIterator
{
public:
    EntitySetIterator() = default;
    EntitySetIterator(const EntitySetIterator&) = delete;
    EntitySetIterator& operator=(const EntitySetIterator&) = delete;

    // The live members of the first set of that name (ignoring case), in set order; none when no
    // set has the name.
    void Init(const char* setName);
    // Every entity that shares a set with `entity`, once each, never the entity itself.
    void InitFromNetwork(Entity* entity);
    // The next entity that still lives; null at the end.
    Entity* GetNext();

private:
    uint32_t m_cursor = 0;
    SafePointerArray<Entity> m_entities;
};
