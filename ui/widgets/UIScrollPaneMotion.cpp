// The render-side half of the scroll pane: its commands, the content bounds and the motion (drag,
// throw, spring back, zoom, focus). Render thread only.
#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "ui/elements/UICommand.h"
#include "ui/widgets/UIAction.h"
#include "ui/widgets/UIScrollPane.h"

#include <cfloat>
#include <cmath>

namespace
{
constexpr float kSpeedDecayBase = 0.98f;
constexpr float kSpeedDecayRate = 300.0f;
constexpr float kSpringRate = 3.0f;
constexpr float kStopSpeedSquared = 0.001f;

float Axis(const Vector& v, uint32_t axis)
{
    return axis == 0 ? v.x : v.y;
}

float& Axis(Vector& v, uint32_t axis)
{
    return axis == 0 ? v.x : v.y;
}

float LengthSquared3(const Vector& v)
{
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

float Dot3(const Vector& a, const Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
} // namespace

void UIScrollPane::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const pane = ReadCommandValue<UIScrollPane*>(reader);
    if (pane != nullptr)
        pane->Execute(commandId, reader);
}

void UIScrollPane::Execute(uint32_t commandId, CommandRingBuffer& reader)
{
    switch (commandId)
    {
    case 83:
        m_lastPointer.Set(0.0f, 0.0f, 0.0f, 0.0f);
        RecomputeBounds();
        break;
    case 84:
        if (Motion() == MOTION_THROWN)
        {
            m_velocity.Set(0.0f, 0.0f, 0.0f, 0.0f);
            m_trackedSpeed.Set(0.0f, 0.0f, 0.0f, 0.0f);
            m_previousTotal = m_scrollTotal;
            SetMotion(MOTION_STOPPING);
        }
        else if (Motion() == MOTION_SPRINGING)
        {
            m_settled = true;
            m_spring[0] = m_spring[1] = false;
            SetMotion(MOTION_STOPPING);
        }
        break;
    case 85:
    {
        const Vector point = ReadCommandValue<Vector>(reader);
        const uint32_t state = Motion();
        if (state == MOTION_DRAGGING)
        {
            const Vector d(m_pointerScaleX * m_axisMask.x * (point.x - m_lastPointer.x),
                           m_pointerScaleY * m_axisMask.y * (point.y - m_lastPointer.y), 0.0f, 0.0f);
            ScrollWithLimits(d);
        }
        else if (state == MOTION_IDLE || state == MOTION_SPRINGING)
        {
            SetMotion(MOTION_DRAGGING);
            m_velocity.Set(0.0f, 0.0f, 0.0f, 0.0f);
        }
        m_lastPointer = point;
        break;
    }
    case 86:
        m_velocity = m_trackedSpeed;
        // A release without speed still springs back a refused drag: stopping at once would leave
        // the content past its border until the next drag.
        if (LengthSquared3(m_velocity) != 0.0f)
            SetMotion(MOTION_THROWN);
        else
            SetMotion(m_settled || m_disableBorder ? MOTION_STOPPING : MOTION_SPRINGING);
        break;
    case 87: m_border = ReadCommandValue<float>(reader); break;
    case 88: FocusOn(ReadCommandValue<UIElement*>(reader)); break;
    case 89:
    {
        m_zoomPivot = ReadCommandValue<Vector>(reader);
        const float zoom = ReadCommandValue<float>(reader);
        const float seconds = ReadCommandValue<float>(reader);
        ReadCommandValue<uint64_t>(reader);
        m_zoom.Start(GetUIActionClocks().systemTime, zoom, seconds, EASING_SINE_OUT);
        break;
    }
    case 91:
        m_axisMask = ReadCommandValue<Vector>(reader);
        m_disableBorder = ReadCommandValue<uint8_t>(reader) != 0;
        break;
    default: break;
    }
}

void UIScrollPane::RecomputeBounds()
{
    Vector min, max;
    ComputeChildrenBounds(min, max, 0);
    // Without children there is nothing to bound: an empty box at the origin, not infinities.
    if (min.x > max.x)
        min.Set(0.0f, 0.0f, 0.0f, 1.0f), max.Set(0.0f, 0.0f, 0.0f, 1.0f);
    m_contentMin.Set(min.x - m_border, min.y - m_border, 0.0f, 1.0f);
    m_contentMax.Set(max.x + m_border, max.y + m_border, 0.0f, 1.0f);
}

void UIScrollPane::ScrollBy(const Vector& d)
{
    const Vector step(d.x * m_axisMask.x, d.y * m_axisMask.y, 0.0f, 0.0f);
    m_scrollTotal.Add(step);
    m_contentMin.Add(step);
    m_contentMax.Add(step);
    for (UIElement* child = GetRenderFirstChild(); child != nullptr; child = child->GetRenderNextSibling())
    {
        Vector position = child->GetRenderPosition();
        position.Add(step);
        child->SetRenderPosition(position);
    }
}

bool UIScrollPane::TryAxis(uint32_t axis, float part)
{
    Vector step(0.0f, 0.0f, 0.0f, 0.0f);
    if (!m_disableBorder)
    {
        const float start = Axis(m_contentMin, axis);
        const float end = Axis(m_contentMax, axis) - Axis(GetRenderSize(), axis);
        const bool accept = end > -kOverscroll ? (start <= kOverscroll || part < 0.0f) : part > 0.0f;
        if (!accept)
        {
            m_settled = false;
            m_spring[axis] = true;
            return false;
        }
        Axis(step, axis) = part;
        ScrollBy(step);
        return true;
    }
    const float lo = Axis(m_contentMin, axis), hi = Axis(m_contentMax, axis);
    if (hi <= 0.0f)
        part = std::fmin(part, -lo);
    else if (lo > 0.0f)
        part = part >= 0.0f ? 0.0f : std::fmax(part, -hi);
    else
        part = std::fmin(std::fmax(part, -hi), -lo);
    Axis(step, axis) = part;
    ScrollBy(step);
    return true;
}

bool UIScrollPane::ScrollWithLimits(const Vector& d)
{
    bool accepted = true;
    if (m_axisMask.x == 1.0f)
        accepted = TryAxis(0, d.x) && accepted;
    if (m_axisMask.y == 1.0f)
        accepted = TryAxis(1, d.y) && accepted;
    return accepted;
}

void UIScrollPane::SpringBack(float dt)
{
    if (m_settled)
        return;
    for (uint32_t axis = 0; axis < 2; ++axis)
    {
        if (!m_spring[axis] || Axis(m_axisMask, axis) != 1.0f)
            continue;
        Vector step(0.0f, 0.0f, 0.0f, 0.0f);
        const float start = Axis(m_contentMin, axis);
        if (start > 0.0f)
        {
            Axis(step, axis) = -kSpringRate * dt * start;
            ScrollBy(step);
            m_spring[axis] = Axis(m_contentMin, axis) >= 1.0f;
            continue;
        }
        const float end = Axis(m_contentMax, axis) - Axis(GetRenderSize(), axis);
        // A long frame can carry the end past the edge; with nothing left to pull back the axis is
        // done (else the pane would wait in the spring for ever and hold back every press).
        if (end >= 0.0f)
        {
            m_spring[axis] = false;
            continue;
        }
        Axis(step, axis) = -kSpringRate * dt * end;
        ScrollBy(step);
        m_spring[axis] = end <= -1.0f;
    }
    const bool xPending = m_axisMask.x == 1.0f && m_spring[0];
    const bool yPending = m_axisMask.y == 1.0f && m_spring[1];
    m_settled = !xPending && !yPending;
}

void UIScrollPane::ApplyZoom()
{
    const float zoom = m_zoom.GetCurrent();
    if (zoom == m_appliedZoom || !(m_appliedZoom > 0.0f))
        return;
    const float f = zoom / m_appliedZoom;
    Vector pivot(GetRenderSize().x * 0.5f, GetRenderSize().y * 0.5f, 0.0f, 1.0f);
    if (m_zoomPivot.w != 0.0f)
    {
        Matrix toScreen = Matrix::ONE;
        for (const UIElement* element = this; element != nullptr; element = element->GetRenderParent())
            toScreen.Mul(element->GetLocalMatrix(), toScreen);
        Matrix fromScreen;
        fromScreen.InverseOf(toScreen);
        pivot.Set(m_zoomPivot.x, m_zoomPivot.y, m_zoomPivot.z, 1.0f);
        pivot.Transform(fromScreen);
    }
    for (UIElement* child = GetRenderFirstChild(); child != nullptr; child = child->GetRenderNextSibling())
    {
        const Vector& scale = child->GetRenderScale();
        child->SetRenderScale(Vector(scale.x * f, scale.y * f, scale.z * f, scale.w));
        const Vector& p = child->GetRenderPosition();
        child->SetRenderPosition(Vector(p.x + (pivot.x - p.x) * (1.0f - f), p.y + (pivot.y - p.y) * (1.0f - f),
                                        p.z, p.w));
    }
    m_appliedZoom = zoom;
    RecomputeBounds();
}

void UIScrollPane::FocusOn(const UIElement* element)
{
    bool inside = false;
    for (const UIElement* e = element; e != nullptr; e = e->GetRenderParent())
        inside = inside || e == this;
    if (!inside)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot focus ScrollPane on an element that is not its ancestor");
        return;
    }
    Matrix chain = Matrix::ONE;
    for (const UIElement* e = element; e != this; e = e->GetRenderParent())
        chain.Mul(e->GetLocalMatrix(), chain);
    Vector origin(0.0f, 0.0f, 0.0f, 1.0f);
    origin.Transform(chain);
    const Vector& size = GetRenderSize();
    ScrollBy(Vector(size.x * 0.5f - origin.x, size.y * 0.5f - origin.y, 0.0f, 0.0f));
}

void UIScrollPane::Render(const Matrix&, const Vector&, bool, const Vector*)
{
    const Time now = GetUIActionClocks().systemTime;
    const float dt = m_framed ? float((now - m_lastFrame).ToSeconds()) : 0.0f;
    m_lastFrame = now;
    m_framed = true;
    StepMotion(now, dt);
}

void UIScrollPane::StepMotion(Time now, float dt)
{
    if (dt > 0.0001f)
    {
        Vector speed = m_scrollTotal;
        speed.Sub(m_previousTotal);
        speed.Mul(1.0f / dt);
        speed.w = 0.0f;
        if (LengthSquared3(speed) <= LengthSquared3(m_trackedSpeed) && Dot3(speed, m_trackedSpeed) >= 0.0f)
        {
            const float k = std::pow(kSpeedDecayBase, kSpeedDecayRate * dt);
            Vector blended = speed;
            blended.Mul(1.0f - k);
            blended.MulAdd(m_trackedSpeed, k);
            m_trackedSpeed = blended;
        }
        else
        {
            m_trackedSpeed = speed;
        }
        m_previousTotal = m_scrollTotal;
    }
    m_zoom.Update(now);
    ApplyZoom();
    if (Motion() == MOTION_THROWN)
    {
        Vector step = m_velocity;
        step.Mul(dt);
        m_velocity.Mul(std::pow(kSpeedDecayBase, kSpeedDecayRate * dt));
        const bool accepted = ScrollWithLimits(step);
        if (!accepted || LengthSquared3(m_velocity) < kStopSpeedSquared)
        {
            m_velocity.Set(0.0f, 0.0f, 0.0f, 0.0f);
            SetMotion(m_disableBorder ? MOTION_STOPPING : MOTION_SPRINGING);
        }
    }
    if (Motion() == MOTION_SPRINGING)
    {
        if (!m_disableBorder)
            SpringBack(dt);
        if (m_settled)
            SetMotion(MOTION_STOPPING);
    }
    if (Motion() == MOTION_STOPPING)
    {
        m_velocity.Set(0.0f, 0.0f, 0.0f, 0.0f);
        SetMotion(MOTION_IDLE);
    }
}
