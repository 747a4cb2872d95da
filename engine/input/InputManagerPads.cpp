// The pad queries of InputManager: one slot, or every enabled slot for INPUT_ANY_PAD.
#include "engine/input/InputManager.h"

XControllerBase* InputManager::GetPadSlot(uint32_t slot) const
{
    return slot < kInputPadSlotCount ? m_pads[slot].get() : nullptr;
}

bool InputManager::IsSlotEnabled(uint32_t slot) const
{
    return m_pads[slot] != nullptr && (m_padEnableMask & (1u << slot)) != 0;
}

bool InputManager::IsXControllerPresent(uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->IsConnected())
                return true;
        return false;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr && m_padEnableMask != 0 && controller->IsConnected();
}

Vector InputManager::GetXControllerAnalogInput(uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        // The strongest deflection wins; the first of equals, and all at rest gives zero.
        Vector best = Vector::ZERO4;
        float bestLength = 0.0f;
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
        {
            if (!IsSlotEnabled(slot))
                continue;
            const Vector& analog = m_pads[slot]->GetAnalog();
            const float length = analog.Dot4(analog);
            if (length > bestLength)
            {
                bestLength = length;
                best = analog;
            }
        }
        return best;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr ? controller->GetAnalog() : Vector::ZERO4;
}

float InputManager::GetXControllerLeftTriggerInput(uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        float best = 0.0f;
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->GetLeftTrigger() > best)
                best = m_pads[slot]->GetLeftTrigger();
        return best;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr ? controller->GetLeftTrigger() : 0.0f;
}

float InputManager::GetXControllerRightTriggerInput(uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        float best = 0.0f;
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->GetRightTrigger() > best)
                best = m_pads[slot]->GetRightTrigger();
        return best;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr ? controller->GetRightTrigger() : 0.0f;
}

bool InputManager::IsXControllerKeyPressed(uint32_t button, uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->IsButtonDown(button))
                return true;
        return false;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr && controller->IsButtonDown(button);
}

bool InputManager::IsXControllerKeyPressedForTheFirstTime(uint32_t button, uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->IsButtonPressedFirstTime(button))
                return true;
        return false;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr && controller->IsButtonPressedFirstTime(button);
}

bool InputManager::IsXControllerKeyReleasedForTheFirstTime(uint32_t button, uint32_t pad) const
{
    if (pad == INPUT_ANY_PAD)
    {
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot) && m_pads[slot]->IsButtonReleasedFirstTime(button))
                return true;
        return false;
    }
    const XControllerBase* const controller = GetPadSlot(pad);
    return controller != nullptr && controller->IsButtonReleasedFirstTime(button);
}

void InputManager::VibrateXController(float left, float right, uint32_t pad)
{
    if (pad == INPUT_ANY_PAD)
    {
        for (uint32_t slot = 0; slot < kInputPadSlotCount; ++slot)
            if (IsSlotEnabled(slot))
                m_pads[slot]->Vibrate(left, right);
        return;
    }
    if (XControllerBase* const controller = GetPadSlot(pad))
        controller->Vibrate(left, right);
}

void InputManager::EnableControllerInput(bool on, uint32_t pad)
{
    if (pad == INPUT_ANY_PAD)
        m_padEnableMask = on ? 0xFFFFFFFFu : 0u;
    else if (pad < 32)
        m_padEnableMask = on ? (m_padEnableMask | (1u << pad)) : (m_padEnableMask & ~(1u << pad));
}

void InputManager::AppendDIDeviceName(std::string& text, bool clearFirst) const
{
    m_directInputPad.AppendDeviceName(text, clearFirst);
}

void InputManager::AppendDIKeyName(std::string& text, uint32_t button, bool clearFirst) const
{
    m_directInputPad.AppendButtonName(text, button, clearFirst);
}

// Numbered 1-32: button 0 and anything past 32 are false instead of reading outside the 32 bytes.
bool InputManager::IsDIControllerKeyPressed(uint32_t button) const
{
    return button >= 1 && button <= DirectInputPad::kButtonCount && m_directInputPad.IsButtonDown(button - 1);
}

bool InputManager::IsDIControllerKeyPressedForTheFirstTime(uint32_t button) const
{
    return button >= 1 && button <= DirectInputPad::kButtonCount &&
           m_directInputPad.IsButtonPressedFirstTime(button - 1);
}
