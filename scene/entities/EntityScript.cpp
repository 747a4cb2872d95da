#include "scene/entities/EntityScript.h"

#include "scene/entities/EntityInitQueue.h"

void EntityScript::CallOnInit(Entity* entity)
{
    if (entity != nullptr)
        EntityInitQueue::Add(entity);
}
