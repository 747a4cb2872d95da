// UIAction: one timed change of a render-side element (a move, a fade, a delayed hide or delete, a
// plain wait). Made on the main thread and handed over inside UI command 25; from then on it lives
// in one of its element's four channels on the render thread and is advanced once per drawn frame
// by UIElement::UpdateActions. Actions in one channel run one after another; channels run side by
// side. Render thread only after the hand-over, so no lock.
#pragma once

#include "core/math/Vector.h"
#include "core/time/Time.h"

#include <cstdint>

class UIElement;

// The three clocks actions are timed on, in counter ticks. The draw walk sets them once per screen
// draw; tests set them by hand. Render thread.
struct UIActionClocks
{
    Time gameTime;
    Time gameplayTime;
    Time systemTime;
};
void SetUIActionClocks(const UIActionClocks& clocks);
const UIActionClocks& GetUIActionClocks();

// The eased progress of curve (flags & 7) at p in [0, 1].
float EvaluateUIActionCurve(uint32_t curve, float p);

// Base of every action: a plain wait.
class UIAction
{
public:
    enum State : uint32_t
    {
        STATE_WAITING = 0,
        STATE_RUNNING = 1,
        STATE_FINISHED = 2,
    };

    UIAction(float duration, uint32_t flags, uint32_t channel) : m_channel(channel), m_duration(duration), m_flags(flags)
    {
    }
    // Unlinks the action from its owner's channel.
    virtual ~UIAction();
    UIAction(const UIAction&) = delete;
    UIAction& operator=(const UIAction&) = delete;

    // Asked before the action joins a channel; the base refuses a hidden element (logged).
    virtual bool CanAttach(UIElement& element);
    // Once, when the action starts: captures start values.
    virtual void OnStart() {}
    // Every update, with the eased progress.
    virtual void Apply(float eased) { (void)eased; }

    // Starts a waiting action, measures its progress on its clock and applies it.
    void Update();
    // Moves the action to the end of the element's list for its channel (null: out of any list).
    void SetOwner(UIElement* element);

    UIElement* GetOwner() const { return m_owner; }
    uint32_t GetChannel() const { return m_channel; }
    uint32_t GetFlags() const { return m_flags; }
    float GetDuration() const { return m_duration; }
    uint32_t GetState() const { return m_state; }
    void SetState(uint32_t state) { m_state = state; }
    UIAction* GetNext() const { return m_next; }

protected:
    UIElement* m_owner = nullptr;
    uint32_t m_channel;
    float m_duration;
    uint32_t m_state = STATE_WAITING;
    uint32_t m_flags;

private:
    UIAction* m_previous = nullptr;
    UIAction* m_next = nullptr;
    Time m_startTime;
};
