#include "scene/entities/EntityBlender.h"

#include "core/time/GameTimer.h"
#include "renderer/EntityRenderingContext.h"
#include "scene/entities/Entity.h"

EntityBlender* EntityBlender::s_head = nullptr;
EntityBlender* EntityBlender::s_tail = nullptr;
const GameTimer* EntityBlender::s_clock = nullptr;

namespace
{
Time ClockNow(const GameTimer* clock)
{
    return clock != nullptr ? clock->GetTimeValue() : Time();
}
} // namespace

EntityBlender::EntityBlender(Entity* entity) : m_entity(entity) {}

EntityBlender::EntityBlender(const EntityBlender& other)
    : m_colorMultiplier(other.m_colorMultiplier), m_entity(other.m_entity), m_fade(other.m_fade)
{
    if (other.m_linked)
        Link();
}

EntityBlender::~EntityBlender()
{
    Unlink();
}

void EntityBlender::InstallClock(const GameTimer* clock)
{
    s_clock = clock;
}

void EntityBlender::SetColorMultiplier(const Vector& color)
{
    m_colorMultiplier = color;
    Link();
}

void EntityBlender::Blend(float target, float duration, uint32_t easing)
{
    m_fade.Start(ClockNow(s_clock), target, duration, easing);
    Link();
}

bool EntityBlender::Update()
{
    Entity* const entity = m_entity.Get();
    if (entity == nullptr)
        return false;
    m_fade.Update(ClockNow(s_clock));
    if (EntityRenderingContext* const context = entity->GetRenderingContext(); context != nullptr)
    {
        Vector color;
        entity->GetEntityColor().ToVector(color);
        const float fade = m_fade.GetCurrent();
        context->SetColorMultiplier(Vector(color.x * m_colorMultiplier.x * fade, color.y * m_colorMultiplier.y * fade,
                                           color.z * m_colorMultiplier.z * fade,
                                           color.w * m_colorMultiplier.w * fade));
    }
    return m_fade.IsActive();
}

void EntityBlender::UpdateAll()
{
    for (EntityBlender* blender = s_head; blender != nullptr;)
    {
        EntityBlender* const next = blender->m_next;
        if (!blender->Update())
            blender->Unlink();
        blender = next;
    }
}

void EntityBlender::Link()
{
    if (m_linked)
        return;
    m_previous = s_tail;
    m_next = nullptr;
    (s_tail != nullptr ? s_tail->m_next : s_head) = this;
    s_tail = this;
    m_linked = true;
}

void EntityBlender::Unlink()
{
    if (!m_linked)
        return;
    (m_previous != nullptr ? m_previous->m_next : s_head) = m_next;
    (m_next != nullptr ? m_next->m_previous : s_tail) = m_previous;
    m_previous = m_next = nullptr;
    m_linked = false;
}
