// The deferred initialisation queue: runs the OnInit passes of entities created together so that
// all of them finish pass k before any starts pass k+1. One global queue; main thread only.
#pragma once

#include <cstdint>

class Entity;

// Open flag, current pass and the entities with passes left.
class EntityInitQueue
{
public:
    // Opens the queue at pass 0; false when it was already open (the caller then does not flush).
    static bool Begin();
    // Runs the passes already done at once, then lists the entity for the rest.
    static void Add(Entity* entity);
    // Runs the remaining passes in order across the listed entities, then closes the queue.
    static void Flush();
    static bool IsOpen();
};
