// Base of the pads in the input manager's four slots (XInput pads and Steam controllers): the
// connected flag, the analog sticks after their dead zones and the triggers, with the button
// queries each kind answers from its own state. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "core/time/Time.h"

#include <cstdint>

// One pad slot's device.
class XControllerBase
{
public:
    explicit XControllerBase(uint32_t index) : m_index(index) {}
    XControllerBase(const XControllerBase&) = delete;
    XControllerBase& operator=(const XControllerBase&) = delete;
    virtual ~XControllerBase() = default;

    // True when the pad connected or disconnected in this call.
    virtual bool Update(const Time& now) = 0;
    virtual bool IsButtonDown(uint32_t button) const = 0;
    virtual bool IsButtonPressedFirstTime(uint32_t button) const = 0;
    virtual bool IsButtonReleasedFirstTime(uint32_t button) const = 0;
    // Any button or axis away from rest.
    virtual bool HasInput() const = 0;
    // Makes the next Update query the device at once.
    virtual void PollNow() {}
    // Motor speeds, 0 to 1 each.
    virtual void Vibrate(float left, float right) { (void)left, (void)right; }

    uint32_t GetIndex() const { return m_index; }
    bool IsConnected() const { return m_connected; }
    // Left stick x, y, right stick x, y, each -1 to 1.
    const Vector& GetAnalog() const { return m_analog; }
    float GetLeftTrigger() const { return m_leftTrigger; }
    float GetRightTrigger() const { return m_rightTrigger; }

    // Square dead zone: each component inside its zone becomes 0, the rest is rescaled to reach 1
    // at the end of travel; `left` applies to x and y, `right` to z and w.
    static void ApplyDeadZone(Vector& analog, float left, float right);

protected:
    uint32_t m_index;
    bool m_connected = false;
    Vector m_analog;
    float m_leftTrigger = 0.0f;
    float m_previousLeftTrigger = 0.0f;
    float m_rightTrigger = 0.0f;
    float m_previousRightTrigger = 0.0f;
};
