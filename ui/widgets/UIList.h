// UIList: a vertical list. Entries built from the list's sub-recipes stack top to bottom inside a
// content container; the pointer drags the content, a release throws it with decaying speed and
// overscroll past either end springs back. Pressing an entry selects it (with selectable children)
// or hands the press on to it. An optional fixed entry is pinned at the bottom edge while the entry
// it stands for is scrolled out of view.
//
// Threads: the main thread builds entries and decides selection and sends UI commands 73 to 82; the
// render thread owns the scroll position and runs the drag, throw and spring back in Render. Two
// values cross between them without commands, each through an atomic the render side writes: the
// motion state (the main side asks it before taking a press) and the fixed entry's visibility, which
// the render side decides while scrolling and the main side takes over into the entry's own state.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "ui/elements/UIElement.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;

// A scrolling list of entries.
class UIList : public UIElement
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
    static constexpr float kOverscroll = 25.0f;
    static constexpr float kMaxThrowSpeed = 1500.0f;
    static constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

    UIList();

    bool IsUIList() const override { return true; }
    bool FollowsParentEnableState() const override { return true; }
    bool IsPointerSelectable() const override { return true; }
    bool WantsDrag() const override { return true; }
    // Sub-recipes are entry templates: built as children only by builds whose two low flags are 01.
    bool AcceptsRecipeChildren(uint32_t buildFlags) const override { return (buildFlags & 3) == 1; }
    // Both low creation flags set: 20 entries of the first sub-recipe, to see the list in a build.
    void OnCreated(uint32_t creationFlags) override;
    void OnDrag(const Vector& point) override;
    // Lets go of the entries and held presses here, on the main thread that links them.
    void OnRemoved() override;
    void PreviewEvent(UIEventRecord& record) override;
    bool NotifyScreen(UIEventRecord& record) override;
    bool HandleEvent(UIEventRecord& record) override;

    // ---- Main thread ----
    void SetSelectableChildren(bool on) { m_selectableChildren = on; }
    void SetBypassEvents(bool on) { m_bypassEvents = on; }
    // Drops every entry (released with the old container unless they are kept) and starts empty.
    void Clear(bool keepChildren);
    // Appends an element below the last entry; null is ignored.
    void AddEntry(UIElement* element, bool selectable);
    // Builds an entry from the named sub-recipe of the list's recipe (null when there is none); with
    // `withFixedEntry`, the first call also builds the fixed entry from "FixedEntry".
    UIElement* AddListElement(const char* subRecipeName, bool withFixedEntry, bool selectable);
    // Shows or hides the fixed entry for the last offset sent.
    void UpdateFixedEntry();
    // Takes over the fixed entry's visibility as the render side last decided it.
    void SyncFixedEntryState();
    // Selects every selectable entry that is the element or holds it, then stops the list.
    void PressOnChild(UIElement* element);
    void SelectEntry(UIElement* element);
    void SetScrollOffset(float offset);

    int32_t GetEntryCount() const { return m_entries.Count(); }
    // Scripts ask with any index: one outside the list finds none instead of reading past it.
    UIElement* GetEntry(int32_t index) const
    {
        return index >= 0 && index < m_entries.Count() ? m_entries[index].element.Get() : nullptr;
    }
    UIElement* GetContainer() const { return m_container; }
    UIElement* GetFixedEntry() const { return m_fixedEntry; }
    float GetContentLength() const { return m_contentLength; }
    uint32_t GetFixedIndex() const { return m_fixedIndex; }
    uint32_t GetFixedSpan() const { return m_fixedSpan; }
    // The selected entry with selectable children, else the pressed one.
    UIElement* GetCurrent() const { return m_current.Get(); }
    uint32_t GetMotionState() const { return m_motionState.load(std::memory_order_acquire); }

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    // The per-frame motion step; the list draws nothing of its own.
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    void StepMotion(double now);
    float GetRenderOffset() const { return m_offset; }
    float GetVelocity() const { return m_velocity; }
    int32_t GetDirection() const { return m_direction; }
    bool IsSettled() const { return m_settled; }

protected:
    // The main-side height of an element: its recipe's size.
    static float GetMainHeight(const UIElement* element);
    // Scrolls content down (d > 0) or up; false when the end is already past the margin.
    virtual bool ScrollForward(float d);
    virtual bool ScrollBackward(float d);
    virtual void SpringBack();
    void ScrollBy(float d);

private:
    struct Entry
    {
        SafePointer<UIElement> element;
        uint8_t selectable = 0;
    };

    void SendFloat(uint32_t commandId, float value);
    void SendU32(uint32_t commandId, uint32_t value);
    void SendNoPayload(uint32_t commandId);
    void SetContentLength(float length);
    void SetEntryCount(uint32_t count);
    void SetFixedIndex(uint32_t index);
    void SetFixedSpan(uint32_t span);
    void ResolvePress();
    UIElement* HeldPress() const;
    void Execute(uint32_t commandId, CommandRingBuffer& reader);
    void RenderFixedCheck();
    void SetMotion(uint32_t state) { m_motionState.store(state, std::memory_order_release); }
    uint32_t Motion() const { return m_motionState.load(std::memory_order_relaxed); }

    // Main thread.
    DynarraySafe<Entry> m_entries;
    UIElement* m_container = nullptr;
    UIElement* m_fixedEntry = nullptr;
    float m_contentLength = 0.0f;
    uint32_t m_entryCount = 0;
    float m_scrollOffset = 0.0f;
    uint32_t m_fixedIndex = kNoIndex;
    uint32_t m_fixedSpan = kNoIndex;
    bool m_selectableChildren = false;
    bool m_bypassEvents = false;
    bool m_dragged = false;
    bool m_passPresses = true;
    SafePointer<UIElement> m_lastDelivered;
    SafePointer<UIElement> m_current;
    SafePointer<UIElement> m_pressed;

    // Render side.
    UIElement* m_renderContainer = nullptr;
    UIElement* m_renderFixed = nullptr;
    uint32_t m_fixedActionFlags = 0;
    float m_renderContentLength = 0.0f;
    uint32_t m_renderEntryCount = 0;
    uint32_t m_renderFixedIndex = kNoIndex;
    uint32_t m_renderFixedSpan = kNoIndex;
    float m_offset = 0.0f;
    float m_velocity = 0.0f;
    float m_deceleration = 0.0f;
    float m_lastStep = 0.0f;
    int32_t m_direction = 0;
    float m_lastPointerY = 0.0f;
    double m_lastTime = 0.0;
    float m_frameStep = 0.0f;
    float m_verticalScale;
    bool m_settled = true;

    // Written by the render side.
    std::atomic<uint32_t> m_motionState{MOTION_IDLE};
    // 0: nothing new; 1 shown; 2 hidden. The main side takes the value (exchanging it for 0).
    std::atomic<uint32_t> m_fixedHandOver{0};
};
