// UIScrollPane: a container whose children are dragged as one block along one or both axes, thrown
// with a smoothed release speed, pulled back by a spring when they leave the allowed range, zoomed
// about a point, and scrolled so that a given descendant comes to the middle. Presses on children
// are held back and delivered on release only when no drag happened.
//
// Threads: the main thread turns pointer input into UI commands 83 to 89 and 91; the render thread
// keeps the content bounds and runs all motion in Render. The motion state is the one value both
// read: the render side publishes it, the main side only looks at it to decide on presses.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "engine/TimedFloatTransition.h"
#include "ui/elements/UIElement.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;

// A draggable, zoomable container.
class UIScrollPane : public UIElement
{
public:
    enum MotionState : uint32_t
    {
        MOTION_IDLE = 0,
        MOTION_DRAGGING = 1,
        MOTION_THROWN = 2,
        MOTION_SPRINGING = 3,
        MOTION_STOPPING = 4,
    };
    enum ScrollDirection : uint32_t
    {
        SCROLL_VERTICAL = 0,
        SCROLL_HORIZONTAL = 1,
        SCROLL_BOTH = 2,
    };
    static constexpr float kDefaultBorder = 25.0f;
    // How far the content may be dragged past an end before further steps are refused.
    static constexpr float kOverscroll = 25.0f;

    UIScrollPane();

    bool IsUIScrollPane() const override { return true; }
    bool WantsDrag() const override { return true; }
    void OnCreated(uint32_t creationFlags) override;
    // A pane built from a recipe measures its content again for its new size.
    void OnRectChanged() override;
    void OnDrag(const Vector& point) override;
    // Lets go of a held press here, on the main thread that links it.
    void OnRemoved() override;
    void PreviewEvent(UIEventRecord& record) override;
    bool NotifyScreen(UIEventRecord& record) override;
    bool HandleEvent(UIEventRecord& record) override;

    // ---- Main thread ----
    // The axes the content moves along; any other value keeps them. Sent with the border switch.
    void SetScrollDirection(uint32_t direction);
    // Without the border the content cannot be dragged past its limits at all and never springs.
    void SetDisableBorder(bool disable);
    void SetClickWhileScrolling(bool enable) { m_clickWhileScrolling = enable; }
    const Vector& GetAxisMask() const { return m_mainAxisMask; }
    void UpdateTotalSize();
    void SetScrollBorder(float border);
    // Scrolls the element's origin to the pane's middle (an error when it is not inside the pane).
    void FocusOnElement(UIElement* element);
    // Zooms to `zoom` over `seconds` about `pivot` (w 0: the pane's centre; else a screen point). A
    // zoom that is not a positive number is refused with a warning.
    void Zoom(const Vector& pivot, float zoom, float seconds);
    bool IsDragged() const { return m_dragged; }
    bool HasPendingPress() const { return m_pendingElement.Get() != nullptr; }
    // The render side's motion state as last published.
    uint32_t GetMotionState() const { return m_motionState.load(std::memory_order_acquire); }

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    // The per-frame motion step; the pane draws nothing of its own.
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    // One frame of motion after `dt` seconds, at `now` on the frame clock.
    void StepMotion(Time now, float dt);
    const Vector& GetContentMin() const { return m_contentMin; }
    const Vector& GetContentMax() const { return m_contentMax; }
    const Vector& GetScrollTotal() const { return m_scrollTotal; }
    const Vector& GetTrackedSpeed() const { return m_trackedSpeed; }
    const Vector& GetVelocity() const { return m_velocity; }
    bool IsSettled() const { return m_settled; }
    bool GetSpringFlag(uint32_t axis) const { return m_spring[axis < 2 ? axis : 1]; }
    float GetAppliedZoom() const { return m_appliedZoom; }

protected:
    // Plain scroll: moves the content bounds and every child by d along the enabled axes.
    void ScrollBy(const Vector& d);
    // Scroll that respects the border (or, without it, the content limits); false when refused.
    virtual bool ScrollWithLimits(const Vector& d);
    virtual void SpringBack(float dt);

private:
    void SendNoPayload(uint32_t commandId);
    void SendSettings();
    void Execute(uint32_t commandId, CommandRingBuffer& reader);
    void RecomputeBounds();
    bool TryAxis(uint32_t axis, float part);
    void SetMotion(uint32_t state) { m_motionState.store(state, std::memory_order_release); }
    uint32_t Motion() const { return m_motionState.load(std::memory_order_relaxed); }
    void ApplyZoom();
    void FocusOn(const UIElement* element);

    // Main thread.
    Vector m_mainAxisMask{0.0f, 1.0f, 0.0f, 1.0f};
    bool m_mainDisableBorder = false;
    bool m_clickWhileScrolling = false;
    bool m_dragged = false;
    bool m_delivering = false;
    UIEventRecord m_pendingRecord;
    SafePointer<UIElement> m_pendingElement;

    // Render side.
    Vector m_axisMask{0.0f, 1.0f, 0.0f, 1.0f};
    Vector m_contentMin{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_contentMax{0.0f, 0.0f, 0.0f, 0.0f};
    float m_border = kDefaultBorder;
    Vector m_scrollTotal{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_previousTotal{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_trackedSpeed{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_velocity{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_lastPointer{0.0f, 0.0f, 0.0f, 0.0f};
    float m_pointerScaleX;
    float m_pointerScaleY;
    bool m_settled = true;
    bool m_spring[2] = {false, false};
    bool m_disableBorder = false;
    TimedFloatTransition m_zoom{1.0f};
    float m_appliedZoom = 1.0f;
    Vector m_zoomPivot{0.0f, 0.0f, 0.0f, 0.0f};
    Time m_lastFrame;
    bool m_framed = false;

    // Written by the render side, read by both.
    std::atomic<uint32_t> m_motionState{MOTION_IDLE};
};
