// The render-side half of the list: its commands, the drag, throw and spring back, and the fixed
// entry's check after every scroll step. Render thread only.
#include "core/threads/CommandRingBuffer.h"
#include "ui/elements/UICommand.h"
#include "ui/widgets/UIAction.h"
#include "ui/widgets/UIActionKinds.h"
#include "ui/widgets/UIList.h"
#include "ui/widgets/UIListGeometry.h"

#include <cmath>
#include <new>

namespace
{
constexpr float kThrowScale = 10.0f;
constexpr float kSpringShare = 0.05f;
constexpr float kMotionFixedFadeSeconds = 0.1f;
constexpr uint32_t kMotionFixedFadeChannel = 3;

double Now()
{
    return GetUIActionClocks().systemTime.ToSeconds();
}

// Shown, and not fading out.
bool IsRenderShown(UIElement& element)
{
    if (element.IsRenderHidden())
        return false;
    const auto* fade = dynamic_cast<const UIActionBlendAndShowHide*>(element.GetFirstAction(kMotionFixedFadeChannel));
    return fade == nullptr || fade->IsShowing();
}
} // namespace

void UIList::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const list = ReadCommandValue<UIList*>(reader);
    if (list != nullptr)
        list->Execute(commandId, reader);
}

void UIList::Execute(uint32_t commandId, CommandRingBuffer& reader)
{
    switch (commandId)
    {
    case 73: m_renderContainer = ReadCommandValue<UIElement*>(reader); break;
    case 74:
        m_renderFixed = ReadCommandValue<UIElement*>(reader);
        m_fixedActionFlags = ReadCommandValue<uint32_t>(reader);
        break;
    case 75: m_renderContentLength = ReadCommandValue<float>(reader); break;
    case 76: m_renderEntryCount = ReadCommandValue<uint32_t>(reader); break;
    case 77: m_renderFixedIndex = ReadCommandValue<uint32_t>(reader); break;
    case 78: m_renderFixedSpan = ReadCommandValue<uint32_t>(reader); break;
    case 79: m_offset = ReadCommandValue<float>(reader); break;
    case 80:
        m_lastTime = Now();
        if (Motion() == MOTION_THROWN)
            SetMotion(MOTION_STOPPING);
        break;
    case 81:
    {
        const float y = ReadCommandValue<Vector>(reader).y;
        const uint32_t state = Motion();
        if (state == MOTION_DRAGGING)
        {
            const float d = (y - m_lastPointerY) * m_verticalScale;
            if (d > 0.0f)
                ScrollForward(d);
            else
                ScrollBackward(d);
        }
        else if (state == MOTION_IDLE || state == MOTION_SPRINGING)
        {
            SetMotion(MOTION_DRAGGING);
            m_velocity = m_lastStep = 0.0f;
            m_direction = 0;
        }
        m_lastPointerY = y;
        break;
    }
    case 82:
    {
        const double now = Now();
        m_frameStep = float(now - m_lastTime);
        m_lastTime = now;
        float v = m_lastStep * kThrowScale * (m_frameStep > 0.0001f ? 1.0f / m_frameStep : 0.0f);
        m_direction = v > 0.0f ? 1 : -1;
        if (float(m_direction) * v > kMaxThrowSpeed)
            v = kMaxThrowSpeed * float(m_direction);
        m_velocity = v;
        // The throw stops after one second at most.
        m_deceleration = std::fabs(v);
        SetMotion(MOTION_THROWN);
        break;
    }
    default: break;
    }
}

void UIList::ScrollBy(float d)
{
    m_offset += d;
    if (m_renderContainer != nullptr)
        m_renderContainer->SetRenderPosition(Vector(0.0f, m_offset, 0.0f, 1.0f));
    if (m_renderFixed != nullptr)
        RenderFixedCheck();
    m_lastStep = d;
}

bool UIList::ScrollForward(float d)
{
    if (m_offset - kOverscroll > 0.0f)
    {
        m_settled = false;
        return false;
    }
    ScrollBy(d);
    return true;
}

bool UIList::ScrollBackward(float d)
{
    const float hidden = std::fmax(m_renderContentLength - GetRenderSize().y, 0.0f);
    if (m_offset + hidden + kOverscroll < 0.0f)
    {
        m_settled = false;
        return false;
    }
    ScrollBy(d);
    return true;
}

void UIList::SpringBack()
{
    if (m_settled || !(m_renderContentLength > 0.0f))
        return;
    m_settled = true;
    float remaining;
    if (m_offset > 0.0f)
    {
        ScrollBy(m_offset * -kSpringShare);
        remaining = m_offset;
    }
    else
    {
        const float over = m_offset + m_renderContentLength - GetRenderSize().y;
        if (over >= 0.0f)
            return;
        ScrollBy(over * -kSpringShare);
        remaining = std::fabs(over);
    }
    if (remaining >= 1.0f)
        m_settled = false;
}

void UIList::RenderFixedCheck()
{
    UIElement& fixed = *m_renderFixed;
    const FixedEntryCase decision = ChooseFixedEntryCase(IsRenderShown(fixed), m_offset, m_renderContentLength,
                                                         m_renderEntryCount, m_renderFixedIndex, m_renderFixedSpan);
    if (decision == FIXED_KEEP)
        return;
    fixed.RemoveActionsOnChannel(-1);
    fixed.SetRenderColor(Vector(1.0f, 1.0f, 1.0f, 1.0f));
    if (decision == FIXED_HIDE_AT_TOP)
    {
        // Already out of sight: hidden at once, a fade from opaque would flash it on every step.
        const Vector& p = fixed.GetRenderPosition();
        if (p.x != 0.0f || p.y != 0.0f || p.z != 0.0f || p.w != 0.0f)
            fixed.SetRenderPosition(Vector(0.0f, 0.0f, 0.0f, 0.0f));
        fixed.SetRenderFlags(UIFLAG_HIDDEN, false);
    }
    else
    {
        const bool show = decision == FIXED_SHOW_AT_BOTTOM;
        if (show)
            fixed.SetRenderPosition(
                Vector(0.0f, GetRenderSize().y - fixed.GetRenderSize().y, 0.0f, 1.0f));
        fixed.AddActionToChannel(new (std::nothrow) UIActionBlendAndShowHide(
            kMotionFixedFadeSeconds, show, m_fixedActionFlags | UIACTIONFLAG_SYSTEMTIME | UIACTIONFLAG_REMOVEOTHERACTIONS,
            kMotionFixedFadeChannel));
    }
    // The main thread owns the entry's visible state: it takes this over at its next look.
    m_fixedHandOver.store(decision == FIXED_SHOW_AT_BOTTOM ? 1u : 2u, std::memory_order_release);
}

void UIList::Render(const Matrix&, const Vector&, bool, const Vector*)
{
    StepMotion(Now());
}

void UIList::StepMotion(double now)
{
    if (Motion() == MOTION_THROWN)
    {
        m_frameStep = float(now - m_lastTime);
        m_velocity -= m_frameStep * m_deceleration * float(m_direction);
        m_lastTime = now;
        bool moving = false;
        if (float(m_direction) * m_velocity > 0.0f)
        {
            const float step = m_frameStep * m_velocity;
            moving = step > 0.0f ? ScrollForward(step) : ScrollBackward(step);
        }
        if (!moving)
            SetMotion(MOTION_SPRINGING);
    }
    if (Motion() == MOTION_SPRINGING)
    {
        SpringBack();
        if (m_settled)
            SetMotion(MOTION_STOPPING);
    }
    if (Motion() == MOTION_STOPPING)
    {
        m_velocity = m_lastStep = 0.0f;
        m_direction = 0;
        SetMotion(MOTION_IDLE);
    }
}
