// UILayout: a container that stacks its children in a column or a row on the render thread (UI
// command 90) and grows to fit them. The layout word and spacers belong to the main thread; each
// layout command carries the values it lays out with, so the render side never reads them.
#pragma once

#include "ui/elements/UIElement.h"

#include <cstdint>

class CommandRingBuffer;

// Bits of the layout word.
constexpr uint32_t UILAYOUT_FLOW = 1;
constexpr uint32_t UILAYOUT_GRID = 2;
constexpr uint32_t UILAYOUT_VERTICAL = 4;
constexpr uint32_t UILAYOUT_HORIZONTAL = 8;
constexpr uint32_t UILAYOUT_ALIGN_NONE = 16;
constexpr uint32_t UILAYOUT_ALIGN_LEFT = 32;
constexpr uint32_t UILAYOUT_ALIGN_RIGHT = 64;
constexpr uint32_t UILAYOUT_ALIGN_CENTER = 128;

// A flow layout.
class UILayout : public UIElement
{
public:
    // Extra space added to every cell: left and top move it, right and bottom widen it.
    struct Spacers
    {
        float left = 0.0f;
        float right = 0.0f;
        float top = 0.0f;
        float bottom = 0.0f;
    };

    UILayout();

    bool IsUILayout() const override { return true; }
    // Lays itself out once when either of the two low creation flags is set.
    void OnCreated(uint32_t creationFlags) override;

    // ---- Main thread ----
    uint32_t GetLayoutFlags() const { return m_flags; }
    void SetLayoutFlags(uint32_t flags) { m_flags = flags; }
    const Spacers& GetSpacers() const { return m_spacers; }
    void SetSpacers(const Spacers& spacers) { m_spacers = spacers; }
    // Queues command 90 with the current layout word and spacers.
    void QueueLayout();

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    // Places the render-side children by the word's stacking rule and grows the layout to fit.
    void ApplyLayout(uint32_t flags, const Spacers& spacers);

private:
    uint32_t m_flags = 0;
    Spacers m_spacers;
};
