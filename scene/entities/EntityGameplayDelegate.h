// The gameplay-side receiver of an entity's delete requests, trigger reports and targeting events,
// in place of the entity's script methods. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class Entity;

// Gameplay code's hooks on one entity; the defaults do nothing.
class EntityGameplayDelegate : public SafePointerRoot
{
public:
    ~EntityGameplayDelegate() override = default;

    // A delete request with a non-zero code (Entity::RequestDelete).
    virtual void OnDeleteRequest(Entity* entity, uint32_t code)
    {
        (void)entity;
        (void)code;
    }
    // A sound entry is about to play at the entity; the volume may be changed.
    virtual void OnSoundEntryPlay(const char* entryName, float* volume)
    {
        (void)entryName;
        (void)volume;
    }
    virtual void OnTriggerEnter(Entity* trigger, Entity* entity)
    {
        (void)trigger;
        (void)entity;
    }
    virtual void OnTriggerExit(Entity* trigger, Entity* entity)
    {
        (void)trigger;
        (void)entity;
    }
    virtual void OnTriggerCleared(Entity* trigger) { (void)trigger; }
    virtual void OnProcTargetingAnimRotStart(Entity* entity) { (void)entity; }
    virtual void OnProcTargetingAnimRotStop(Entity* entity) { (void)entity; }
};
