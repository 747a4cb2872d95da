#include "effects/animation/EntityAnimationCallbackObject.h"

#include "engine/scripting/LuaWrapper.h"
#include "scene/entities/Entity.h"

EntityAnimationCallbackObject::EntityAnimationCallbackObject(Entity* listener)
{
    m_listener = listener;
}

EntityAnimationCallbackObject::~EntityAnimationCallbackObject() = default;

void EntityAnimationCallbackObject::AnimationEnded(int32_t id, int32_t ranToEnd)
{
    Entity* const listener = m_listener.Get();
    if (listener == nullptr || gLua.GetState() == nullptr)
        return;
    gLua.PushInt(id);
    gLua.PushInt(ranToEnd);
    listener->CallScriptMethod("AnimationEnded", 2);
}

void EntityAnimationCallbackObject::CallbackPointReached(int32_t id)
{
    Entity* const listener = m_listener.Get();
    if (listener == nullptr || gLua.GetState() == nullptr)
        return;
    gLua.PushInt(id);
    listener->CallScriptMethod("CallbackPointReached", 1);
}
