#include "scene/entities/EntityInitQueue.h"

#include "core/containers/SafePointer.h"
#include "engine/scripting/LuaWrapper.h"
#include "scene/entities/Entity.h"
#include "scene/templates/EntityTemplate.h"

namespace
{
struct InitQueue
{
    bool open = false;
    uint32_t currentPass = 0;
    SafePointerArray<Entity> entities;
};

InitQueue& Queue()
{
    static InitQueue* queue = new InitQueue;
    return *queue;
}

uint32_t PassCount(const Entity* entity)
{
    return entity->GetTemplate() != nullptr ? entity->GetTemplate()->GetInitializationPassCount() : 0;
}

void RunPass(Entity* entity, uint32_t pass)
{
    if (gLua.GetState() == nullptr)
        return;
    gLua.PushUnsigned(pass);
    entity->CallScriptMethod("OnInit", 1);
}
} // namespace

bool EntityInitQueue::Begin()
{
    InitQueue& queue = Queue();
    if (queue.open)
        return false;
    queue.open = true;
    queue.currentPass = 0;
    return true;
}

bool EntityInitQueue::IsOpen()
{
    return Queue().open;
}

void EntityInitQueue::Add(Entity* entity)
{
    const uint32_t passes = PassCount(entity);
    if (passes == 0)
        return;
    InitQueue& queue = Queue();
    const uint32_t done = passes < queue.currentPass ? passes : queue.currentPass;
    SafePointer<Entity> alive(entity);
    for (uint32_t pass = 0; pass < done && alive; ++pass)
        RunPass(entity, pass);
    if (alive && passes > done)
        queue.entities.Add(alive);
}

void EntityInitQueue::Flush()
{
    InitQueue& queue = Queue();
    for (uint32_t pass = 0;; ++pass)
    {
        queue.currentPass = pass;
        bool anyLeft = false;
        // The list may grow while handlers create entities; they join this pass after catching up.
        for (int32_t i = 0; i < queue.entities.Count(); ++i)
        {
            Entity* const entity = queue.entities[i].Get();
            if (entity == nullptr)
                continue;
            const uint32_t passes = PassCount(entity);
            if (pass >= passes)
            {
                queue.entities[i].Set(nullptr);
                continue;
            }
            anyLeft = true;
            RunPass(entity, pass);
            if (pass + 1 >= passes && i < queue.entities.Count())
                queue.entities[i].Set(nullptr);
        }
        if (!anyLeft)
            break;
    }
    queue.entities.Clear();
    queue.open = false;
    queue.currentPass = 0;
}
