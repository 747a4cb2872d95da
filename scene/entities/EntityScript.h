// The script start of entities: the entry through which game delegates hand a new entity to the
// deferred initialisation queue. Main thread only.
#pragma once

class Entity;

// Script-side entry points of entities.
class EntityScript
{
public:
    // Queues the entity's OnInit passes (EntityInitQueue::Add).
    static void CallOnInit(Entity* entity);
};
