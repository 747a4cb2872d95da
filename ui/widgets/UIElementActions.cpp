// UIElement's actions: the main-thread methods that make an action and hand it over (command 25),
// and the render-side channels that hold and advance them.
#include "core/console/GameConsole.h"
#include "ui/elements/UIElement.h"
#include "ui/widgets/UIActionKinds.h"

#include <cmath>
#include <new>

namespace
{
Vector GammaToLinear(const Vector& color)
{
    return Vector(std::pow(color.x, 2.2f), std::pow(color.y, 2.2f), std::pow(color.z, 2.2f), color.w);
}
} // namespace

// ---- Main thread ----

void UIElement::Wait(float time, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIAction(time, flags | m_defaultActionFlags, channel));
}

void UIElement::Move(float time, const Vector& position, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionMove(time, position, flags | m_defaultActionFlags, channel));
}

void UIElement::Move2(float time, float x, float y, uint32_t flags, uint32_t channel)
{
    Move(time, Vector(x, y, 0.0f, 1.0f), flags, channel);
}

void UIElement::Move3(float time, float x, float y, float z, uint32_t flags, uint32_t channel)
{
    Move(time, Vector(x, y, z, 1.0f), flags, channel);
}

void UIElement::ChangeSize(float time, const Vector& size, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionChangeSize(time, size, flags | m_defaultActionFlags, channel));
}

void UIElement::Rotate(float time, const Vector& rotation, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionRotate(time, rotation, flags | m_defaultActionFlags, channel));
}

void UIElement::RotateAngle(float time, float angle, uint32_t flags, uint32_t channel)
{
    Rotate(time, Vector(0.0f, 0.0f, angle, 0.0f), flags, channel);
}

void UIElement::Rotate3(float time, float x, float y, float z, uint32_t flags, uint32_t channel)
{
    Rotate(time, Vector(x, y, z, 0.0f), flags, channel);
}

void UIElement::Scale(float time, const Vector& scale, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionScale(time, scale, flags | m_defaultActionFlags, channel));
}

void UIElement::ScaleUniform(float time, float scale, uint32_t flags, uint32_t channel)
{
    Scale(time, Vector(scale, scale, scale, 1.0f), flags, channel);
}

void UIElement::Scale3(float time, float x, float y, float z, uint32_t flags, uint32_t channel)
{
    Scale(time, Vector(x, y, z, 1.0f), flags, channel);
}

void UIElement::ChangeColor(float time, const Vector& color, uint32_t flags, uint32_t channel)
{
    ChangeLinearColor(time, GammaToLinear(color), flags, channel);
}

void UIElement::ChangeColorRGBA(float time, float r, float g, float b, float a, uint32_t flags, uint32_t channel)
{
    ChangeColor(time, Vector(r, g, b, a), flags, channel);
}

void UIElement::ChangeLinearColor(float time, const Vector& color, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionColor(time, color, flags | m_defaultActionFlags, channel));
}

void UIElement::ChangeLinearColorRGBA(float time, float r, float g, float b, float a, uint32_t flags,
                                      uint32_t channel)
{
    ChangeLinearColor(time, Vector(r, g, b, a), flags, channel);
}

void UIElement::BlendOutAndHide(float time, uint32_t flags, uint32_t channel)
{
    m_stateFlags &= ~UISTATE_VISIBLE;
    AddAction(new (std::nothrow) UIActionBlendAndShowHide(time, false, flags | m_defaultActionFlags, channel));
}

void UIElement::ShowAndBlendIn(float time, uint32_t flags, uint32_t channel)
{
    m_stateFlags |= UISTATE_VISIBLE;
    AddAction(new (std::nothrow) UIActionBlendAndShowHide(
        time, true, flags | m_defaultActionFlags | UIACTIONFLAG_REMOVEOTHERACTIONS, channel));
}

void UIElement::Delete(uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionDelete(flags, channel));
}

// ---- Render side ----

void UIElement::AddActionToChannel(UIAction* action)
{
    // An allocation failure on the main thread arrives as a null action.
    if (action == nullptr)
        return;
    const uint32_t channel = action->GetChannel();
    if ((action->GetFlags() & UIACTIONFLAG_REMOVEOTHERACTIONS) != 0 && channel < kUIActionChannelCount)
        RemoveActionsOnChannel(int32_t(channel));
    // A refused action is destroyed once and never appended after.
    if (!action->CanAttach(*this))
    {
        delete action;
        return;
    }
    if (channel >= kUIActionChannelCount)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Action channel out of range [%d/%d]", int(channel),
                       int(kUIActionChannelCount));
        delete action;
        return;
    }
    action->SetOwner(this);
}

void UIElement::RemoveActionsOnChannel(int32_t channel)
{
    if (channel == -1)
    {
        for (uint32_t i = 0; i < kUIActionChannelCount; ++i)
            RemoveActionsOnChannel(int32_t(i));
        return;
    }
    if (channel < 0 || channel >= int32_t(kUIActionChannelCount))
        return;
    while (UIAction* const action = m_actionHead[channel])
        delete action;
}

void UIElement::UpdateActions()
{
    for (int32_t channel = int32_t(kUIActionChannelCount) - 1; channel >= 0; --channel)
    {
        UIAction* action = m_actionHead[channel];
        while (action != nullptr)
        {
            UIAction* const next = action->GetNext();
            action->Update();
            if (action->GetState() == UIAction::STATE_FINISHED)
            {
                if ((action->GetFlags() & UIACTIONFLAG_REPEAT) != 0)
                {
                    action->SetOwner(nullptr);
                    action->SetState(UIAction::STATE_WAITING);
                    action->SetOwner(this);
                }
                else
                {
                    delete action;
                }
            }
            else if ((action->GetFlags() & UIACTIONFLAG_DONOTWAIT) == 0)
            {
                break;
            }
            action = next;
        }
    }
}
