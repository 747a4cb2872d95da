// UIScreen: the root element of one UI screen, as the Game's screen stack, the input dispatch and
// the frame see it. Main thread (the screen's main-thread half).
//
// Only what the Game and the screens built so far need exists: the screen size, the
// processes-input, blocks-scene-rendering, pauses-game and covers-below bytes, the key, character
// and pointer entries the stack offers input to and the camera half of the draw (viewport and an
// orthographic camera of the screen size). Visibility is the element's visible state, off for a new
// screen; the loading screen fades with the element's colour action. The tree's draw on the render
// thread, hit-test candidates, entity tracking and focus come with the screens' own work; Draw says
// once in the log that the tree is not drawn yet.
#pragma once

#include "core/math/Vector.h"
#include "ui/elements/UIElement.h"

#include <cstdint>

struct FrameClock;

// One UI screen.
class UIScreen : public UIElement
{
public:
    // A screen of the current UI size.
    UIScreen();
    UIScreen(uint32_t width, uint32_t height);
    ~UIScreen() override = default;
    UIScreen(const UIScreen&) = delete;
    UIScreen& operator=(const UIScreen&) = delete;

    // The screen size becomes width by height; screens lay themselves out again with `relayout`.
    virtual void OnResolutionChanged(uint32_t width, uint32_t height, bool refresh, bool relayout);
    // True when the screen took the key (a virtual-key code) or character.
    virtual bool OnKey(uint32_t key);
    virtual bool OnChar(uint32_t character);
    // Pointers in 0..1 of the screen; true when the screen took it.
    virtual bool OnPointerBegin(uint32_t id, float x, float y);
    virtual bool OnPointerEnd(uint32_t id, float x, float y);
    virtual bool OnPointerMove(uint32_t id, float x, float y);
    // The cursor position while the game window is active, and the pad's navigation input.
    virtual void OnMouseOver(const Vector& cursor) { m_lastCursor = cursor; }
    virtual void OnNavigation(const Vector& analog) { (void)analog; }

    // Sets the viewport (0, 0, width, height, 0, 1) and the screen's camera, then would queue the
    // tree's draw.
    virtual void Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
                      const Vector& cursor);
    uint32_t GetDrawCount() const { return m_drawCount; }
    const Vector& GetLastCursor() const { return m_lastCursor; }

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    bool IsUIScreen() const override { return true; }
    bool IsPointerSelectable() const override { return false; }
    bool FollowsParentEnableState() const override { return true; }
    // Shows or hides the screen at once.
    using UIElement::SetVisible;
    void SetVisible(bool visible) { UIElement::SetVisible(visible, true, true); }
    bool ProcessesInput() const { return m_processesInput; }
    void SetProcessesInput(bool processes) { m_processesInput = processes; }
    bool BlocksSceneRendering() const { return m_blocksSceneRendering; }
    void SetBlocksSceneRendering(bool blocks) { m_blocksSceneRendering = blocks; }
    bool PausesGame() const { return m_pausesGame; }
    void SetPausesGame(bool pauses) { m_pausesGame = pauses; }
    bool CoversBelow() const { return m_coversBelow; }
    void SetCoversBelow(bool covers) { m_coversBelow = covers; }
    // A loading screen that fades out when it is hidden.
    bool FadesOut() const { return m_fadesOut; }
    void SetFadesOut(bool fades) { m_fadesOut = fades; }

    // The size every screen lays itself out for (the Game's SetSize); with refresh the font
    // resources nobody uses are evicted first.
    static void ChangeUIResolution(uint32_t width, uint32_t height, bool refresh);
    static uint32_t GetUIWidth();
    static uint32_t GetUIHeight();

protected:
    virtual void Layout() {}

    uint32_t m_width;
    uint32_t m_height;
    bool m_processesInput = true;
    bool m_blocksSceneRendering = false;
    bool m_pausesGame = false;
    bool m_coversBelow = false;
    bool m_fadesOut = false;
    Vector m_lastCursor{0.0f, 0.0f, 0.0f, 0.0f};

private:
    uint32_t m_drawCount = 0;
};
