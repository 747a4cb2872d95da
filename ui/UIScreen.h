// UIScreen: the root element of one UI screen, as the Game's screen stack, the input dispatch and
// the frame see it. Main thread (the screen's main-thread half).
//
// Only the screen's own bytes and hooks exist so far: visibility, input, blocking, pausing and
// covering switches, the key and pointer hooks the stack offers input to, and the camera half of
// the draw (viewport and an orthographic camera of the screen size). The element tree, its draw on
// the render thread and the hit-test candidates come with the user interface; Draw says once in the
// log that the tree is not drawn yet.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "ui/elements/UIElement.h"

#include <cstdint>

struct FrameClock;

// One screen of the UI stack.
class UIScreen : public UIElement, public SafePointerRoot
{
public:
    UIScreen() = default;
    ~UIScreen() override = default;
    UIScreen(const UIScreen&) = delete;
    UIScreen& operator=(const UIScreen&) = delete;

    // The screen's switches.
    bool m_visible = true;
    bool m_processesInput = true;
    bool m_blocksSceneRendering = false;
    bool m_pausesGame = false;
    bool m_coversBelow = false;
    // A loading screen that fades out when hidden.
    bool m_fadesOut = false;

    // Input offered by the stack; true when the screen takes it.
    virtual bool OnKey(uint32_t key)
    {
        (void)key;
        return false;
    }
    virtual bool OnPointerBegin(uint32_t id, float x, float y);
    virtual bool OnPointerEnd(uint32_t id, float x, float y);
    virtual bool OnPointerMove(uint32_t id, float x, float y);
    // The element under the cursor changed (the stack only reports the cursor position here).
    virtual void OnMouseOver(const Vector& cursor) { m_lastCursor = cursor; }
    virtual void OnNavigation(const Vector& analog) { (void)analog; }

    // Sets the viewport (0, 0, width, height, 0, 1) and the screen's camera, then would queue the
    // tree's draw.
    virtual void Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
                      const Vector& cursor);
    uint32_t GetDrawCount() const { return m_drawCount; }
    const Vector& GetLastCursor() const { return m_lastCursor; }

    // Colour fades of the loading screen: the running actions stop, the colour is set or eased.
    void RemoveAllActions(int32_t channel);
    void SetColorRGBA(float r, float g, float b, float a);
    void ChangeColorRGBA(float seconds, float r, float g, float b, float a);
    const Vector& GetTargetColor() const { return m_targetColor; }
    uint32_t GetActionsRemoved() const { return m_actionsRemoved; }

    // The screen's owner lets it go; the screen is deleted at once (its render half holds nothing).
    void Release();

    // Every screen's layout size; with refresh the fonts are evicted first (Game::SetSize).
    static void OnResolutionChanged(uint32_t width, uint32_t height, bool refresh, bool relayout);
    static uint32_t GetUIWidth();
    static uint32_t GetUIHeight();

protected:
    Vector m_lastCursor{0.0f, 0.0f, 0.0f, 0.0f};

private:
    Vector m_targetColor{1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t m_drawCount = 0;
    uint32_t m_actionsRemoved = 0;
};
