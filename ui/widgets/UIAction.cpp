#include "ui/widgets/UIAction.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "ui/elements/UIElement.h"

#include <cmath>

namespace
{
UIActionClocks gClocks;
constexpr float kPi = 3.1415927f;
} // namespace

void SetUIActionClocks(const UIActionClocks& clocks)
{
    gClocks = clocks;
}

const UIActionClocks& GetUIActionClocks()
{
    return gClocks;
}

float EvaluateUIActionCurve(uint32_t curve, float p)
{
    switch (curve)
    {
    case UIACTIONFLAG_HALFSINE: return std::sin(p * kPi * 0.5f);
    case UIACTIONFLAG_INVHALFSINE: return 1.0f - std::sin((1.0f - p) * kPi * 0.5f);
    case UIACTIONFLAG_SINE: return (std::sin((p - 0.5f) * kPi) + 1.0f) * 0.5f;
    case UIACTIONFLAG_HALFSINESLOW: return std::sqrt(std::sin(p * kPi * 0.5f));
    default: return p;
    }
}

UIAction::~UIAction()
{
    SetOwner(nullptr);
}

bool UIAction::CanAttach(UIElement& element)
{
    if (!element.IsRenderHidden())
        return true;
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Attempt to add UI action to an invisible element. Ignoring...");
    return false;
}

void UIAction::SetOwner(UIElement* element)
{
    if (m_owner == element && element != nullptr)
        return;
    if (m_owner != nullptr)
    {
        UIAction*& head = m_owner->ActionHead(m_channel);
        UIAction*& tail = m_owner->ActionTail(m_channel);
        (m_previous != nullptr ? m_previous->m_next : head) = m_next;
        (m_next != nullptr ? m_next->m_previous : tail) = m_previous;
        m_previous = m_next = nullptr;
    }
    m_owner = element;
    if (element == nullptr)
        return;
    UIAction*& tail = element->ActionTail(m_channel);
    m_previous = tail;
    (tail != nullptr ? tail->m_next : element->ActionHead(m_channel)) = this;
    tail = this;
}

void UIAction::Update()
{
    const uint32_t clock = m_flags & (UIACTIONFLAG_GAMEPLAYTIME | UIACTIONFLAG_SYSTEMTIME);
    const Time now = clock == UIACTIONFLAG_GAMEPLAYTIME ? gClocks.gameplayTime
                     : clock == UIACTIONFLAG_SYSTEMTIME ? gClocks.systemTime
                                                        : gClocks.gameTime;
    if (m_state == STATE_WAITING)
    {
        m_startTime = now;
        m_state = STATE_RUNNING;
        // OnStart may finish the action at once; Apply still runs and sees that.
        OnStart();
    }
    else if (m_state != STATE_RUNNING)
    {
        return;
    }
    float p = 1.0f;
    if (m_duration > 0.0f)
        p = float(static_cast<long double>((now - m_startTime).GetTicks()) / os::QueryCounterFrequency() / m_duration);
    if (m_duration <= 0.0f || p >= 1.0f)
    {
        p = 1.0f;
        m_state = STATE_FINISHED;
    }
    Apply(EvaluateUIActionCurve(m_flags & 7, p));
}
