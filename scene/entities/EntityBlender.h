// EntityBlender: fades the colour multiplier of one entity's rendering context over time (a unit
// fading in or out). Scripts make and own blenders (script class "EntityBlender"); a blender joins
// the global list with its first Blend or SetColorMultiplier, and the Game's frame updates the list
// once, which posts the faded colour to the entity's rendering context. A blender leaves the list
// when an update finds its fade ended (so a colour set without a fade shows on exactly one frame)
// or its entity gone. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "engine/TimedFloatTransition.h"

#include <cstdint>

class Entity;
class GameTimer;

// One entity's colour fade, a link of the global blender list.
class EntityBlender
{
public:
    explicit EntityBlender(Entity* entity);
    // Copies every field; the copy joins the list when the source is in it.
    EntityBlender(const EntityBlender& other);
    EntityBlender& operator=(const EntityBlender&) = delete;
    // Leaves the list.
    ~EntityBlender();

    // Stores the multiplier and joins the list.
    void SetColorMultiplier(const Vector& color);
    // Fades to `target` over `duration` seconds of the first game clock with an easing (0 linear,
    // 1 to 3 the sine easings); a duration of 0 or less takes the target at once. Joins the list.
    void Blend(float target, float duration, uint32_t easing);

    // Advances the fade and posts the entity's colour x the multiplier x the fade value to its
    // rendering context (nothing without a context); false without an entity or once the fade ended.
    bool Update();
    // Updates every listed blender in list order; those that answer false leave the list.
    static void UpdateAll();

    // The first game clock the fades run on (the Game installs its smooth game timer; none reads 0).
    static void InstallClock(const GameTimer* clock);

    bool IsLinked() const { return m_linked; }
    float GetFadeValue() const { return m_fade.GetCurrent(); }
    bool IsFading() const { return m_fade.IsActive(); }
    const Vector& GetColorMultiplier() const { return m_colorMultiplier; }
    Entity* GetEntity() const { return m_entity.Get(); }
    // The listed blenders in order (tests and tools).
    static EntityBlender* GetFirst() { return s_head; }
    EntityBlender* GetNext() const { return m_next; }

private:
    void Link();
    void Unlink();

    Vector m_colorMultiplier{1.0f, 1.0f, 1.0f, 1.0f};
    SafePointer<Entity> m_entity;
    TimedFloatTransition m_fade{1.0f};
    EntityBlender* m_previous = nullptr;
    EntityBlender* m_next = nullptr;
    bool m_linked = false;

    static EntityBlender* s_head;
    static EntityBlender* s_tail;
    static const GameTimer* s_clock;
};
