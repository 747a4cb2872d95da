// EntityAnimationCallbackObject (script class "EntityAnimationCallbackObject"): the callback object
// scripts hand to animations. It forwards what an animation tells to the script methods of the same
// names on its listener entity: AnimationEnded(id, ranToEnd) and CallbackPointReached(id). Main
// thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "effects/animation/AnimationParams.h"

#include <cstdint>

class Entity;

// Tells a listener entity's scripts when an animation ends or reaches its callback point.
class EntityAnimationCallbackObject : public AnimationCallbackObject
{
public:
    // A listener that dies (or none) leaves the calls unheard.
    explicit EntityAnimationCallbackObject(Entity* listener);
    ~EntityAnimationCallbackObject() override;

    void AnimationEnded(int32_t id, int32_t ranToEnd) override;
    void CallbackPointReached(int32_t id) override;

    Entity* GetListener() const { return m_listener.Get(); }
    void SetListener(Entity* listener) { m_listener = listener; }

private:
    SafePointer<Entity> m_listener;
};
