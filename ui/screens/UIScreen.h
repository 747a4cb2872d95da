// UIScreen: the root element of one screenful of UI. The Game keeps screens in its stack, draws
// them every frame and feeds them pointer, key and pad input.
//
// Drawing: Draw (main thread) lays the screen out for the window, queues command 28 with the
// matrices and sizes, places the entity-tracked elements and queues command 29, on which the render
// thread walks the tree (ui/render/UIScreenRender.cpp). While it walks, the render thread records
// the screen quad of every pointer-selectable element it draws in the render-side candidate table;
// it publishes one table at a time through an issued/completed counter pair, and the main thread
// copies it after each Draw (UpdateAfterDraw). Hit tests, pointer routing, modal handling and pad
// navigation read only the main-side copy.
//
// Threads: the main-side operations on the main thread; the render-side table, its count, the
// recording byte and the no-candidate counter on the render thread; the counter pair by both.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/threads/SyncCounter.h"
#include "engine/input/TapTargets.h"
#include "ui/elements/UIElement.h"

#include <cstdint>

class Entity;
struct FrameClock;
struct GameSideCamera;

// One recorded screen quad: four corners in normalised device units (y up), the element's id and
// its render flags.
struct UISelectionCandidate
{
    Vector corners[4];
    uint32_t id = 0;
    uint32_t renderFlags = 0;
};

// Keeps an element on a scene entity.
struct UIEntityTrackingEntry
{
    SafePointer<UIElement> element;
    SafePointer<Entity> entity;
    Vector offset{0.0f, 0.0f, 0.0f, 0.0f};
    Vector lastPosition{0.0f, 0.0f, 0.0f, 1.0f};
    uint32_t flags = 0;
    uint32_t value = 0;
    bool hiddenWithEntity = false;
    float scale = 1.0f;
};

// The screen's layout for one window size: what Draw computes and the point conversions read.
struct UIScreenLayout
{
    float windowWidth = 0.0f;
    float windowHeight = 0.0f;
    float width = 0.0f;  // UI units across
    float height = 0.0f; // UI units down
    float scaleX = 1.0f; // aspect scales of the projection
    float scaleY = 1.0f;
    Matrix view = Matrix::ONE;
    Matrix projection = Matrix::ONE;
    bool valid = false;
};

// The UI reference size: the override where positive, else the project's UI width and height.
float UIGetEffectiveScaleX();
float UIGetEffectiveScaleY();

// One UI screen.
class UIScreen : public UIElement, public TapHitTestScreen
{
public:
    static constexpr uint32_t kMaxSelectionCandidates = 128;

    // A screen of the current UI size.
    UIScreen();
    ~UIScreen() override;
    UIScreen(const UIScreen&) = delete;
    UIScreen& operator=(const UIScreen&) = delete;

    bool IsUIScreen() const override { return true; }
    bool IsPointerSelectable() const override { return false; }
    bool FollowsParentEnableState() const override { return true; }
    void OnRemoved() override;

    // ---- Main thread: input ----
    // Points are (x, y, 0, 1) with x and y in 0..1 of the window, y down. True when taken.
    virtual bool OnPointerBegin(const Vector& point, uint32_t pointer);
    virtual bool OnPointerEnd(const Vector& point, uint32_t pointer);
    virtual bool OnPointerMove(const Vector& point, uint32_t pointer);
    // Enter ends the editing of the focused text input.
    virtual bool OnKey(uint32_t key);
    virtual bool OnChar(uint32_t character);
    void SimulateTapBegin(UIElement* element);
    bool SimulateTapEnd();
    void SimulateClick(UIElement* element);

    // ---- Main thread: events (modal handling) ----
    void PreviewEvent(UIEventRecord& record) override;
    bool NotifyScreen(UIEventRecord& record) override;
    bool HandleEvent(UIEventRecord& record) override;
    UIElement* GetModalElement() const { return m_modalElement.Get(); }
    UIElement* GetPressedElement() const { return m_pressedElement.Get(); }
    bool IsDragging() const { return m_dragging; }

    // ---- Main thread: drawing and hit tests ----
    // Lays the screen out for the window and queues its draw (commands 28, 26 per tracked element,
    // 29).
    virtual void Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
                      const Vector& cursor);
    // Takes over the render thread's last candidate table and keeps the id under the point.
    void UpdateAfterDraw(const Vector& point);
    // Hit test of the main table: the id of the last candidate under the point (0 when none).
    uint32_t GetElementAt(const Vector& point, bool* persistentTap = nullptr, float* depth = nullptr) const;
    UIElement* GetElementAtScreenPosition(const Vector& point) const;
    UIElement* GetNearestElement(const Vector& point, float* distance, uint32_t mask, uint32_t value) const;
    UIElement* FindNearestCandidateInDirection(const Vector& point, const Vector& direction, float minCos,
                                               bool requireEnabled, uint32_t mask, uint32_t value) const;
    int32_t FindSelectionCandidate(uint32_t elementId) const override;
    bool IsPointInSelectionCandidate(int32_t candidate, const Vector& point) const override;
    // The centre of the element's candidate in 0..1 window units (y down); false without one.
    bool GetCandidateCentre(uint32_t elementId, Vector& centre) const;
    int32_t GetSelectionCandidateCount() const { return int32_t(m_mainCandidateCount); }
    const UISelectionCandidate& GetSelectionCandidate(int32_t index) const { return m_mainCandidates[index]; }
    uint32_t GetPointedElementId() const { return m_hoveredElementId; }
    uint32_t GetDrawCount() const { return m_drawCount; }
    const Vector& GetLastCursor() const { return m_lastCursor; }

    // ---- Main thread: point conversions (false until the screen was laid out) ----
    bool UIPointToScreenPoint(const Vector& point, Vector& out) const;
    bool ScreenPointToUIPoint(const Vector& point, Vector& out) const;
    // Projects with the view-projection of a camera; false behind it.
    bool WorldPositionToUIPoint(const Vector& position, const Matrix& viewProjection, Vector& out) const;
    const UIScreenLayout& GetLayout() const { return m_layout; }
    // Lays the screen out for a window size without drawing (Draw does it each frame).
    void ComputeLayout(uint32_t windowWidth, uint32_t windowHeight);

    // ---- Main thread: entity tracking ----
    void EnableEntityTracking(UIElement* element, Entity* entity, uint32_t flags, const Vector& offset, uint32_t value,
                              float scale);
    void DisableEntityTracking(UIElement* element);
    int32_t GetEntityTrackingCount() const { return m_tracking.Count(); }

    // ---- Main thread: pointers ----
    // The current position (0..1 of the window, y down) of the active pointer with that key; false
    // when no such pointer is down.
    bool GetPointerPosition(uint32_t key, Vector& out) const;
    bool GetPointerPositionXY(uint32_t key, float& x, float& y) const;

    // ---- Main thread: settings ----
    using UIElement::SetVisible;
    void SetVisible(bool visible) { UIElement::SetVisible(visible, true, true); }
    bool ProcessesInput() const { return m_processesInput; }
    void SetProcessesInput(bool processes) { m_processesInput = processes; }
    bool BlocksSceneRendering() const { return m_blocksSceneRendering; }
    void SetBlocksSceneRendering(bool blocks) { m_blocksSceneRendering = blocks; }
    bool PausesGame() const { return m_pausesGame; }
    void SetPausesGame(bool pauses) { m_pausesGame = pauses; }
    // Lays out in window pixels instead of the UI size.
    void SetWindowSizeLayout(bool on) { m_windowSizeLayout = on; }
    void SetKeepAspect(bool keep) { m_keepAspect = keep; }
    void SetScaleFactors(float x, float y)
    {
        m_scaleFactorX = x;
        m_scaleFactorY = y;
    }
    // A loading screen that fades in when the renderer shows it and out when the Game hides it.
    bool FadesOut() const { return m_fadesOut; }
    void SetFadesOut(bool fades) { m_fadesOut = fades; }
    // What a loading frame clears to before it draws this screen (transparent black by default).
    const Vector& GetBackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(const Vector& color) { m_backgroundColor = color; }

    // The size every screen lays itself out for (the Game's SetSize). refreshFonts drops every text's
    // font and lets the resource thread evict the unused ones before the size changes, so texts
    // re-resolve at the new scale; relayoutTexts has every live text resolve its font again.
    static void OnResolutionChanged(uint32_t width, uint32_t height, bool refreshFonts, bool relayoutTexts);
    static uint32_t GetUIWidth();
    static uint32_t GetUIHeight();
    // UI sizes that replace the project's where positive (0 x 0 at start).
    static void SetUISizeOverride(float width, float height);

    // ---- Render side (ui/render/UIScreenRender.cpp) ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    // Command 28: the frame globals of a screen pass.
    static void SetRenderMatrices(const Matrix& view, const Matrix& projection, const uint32_t viewportWords0[2],
                                  const uint32_t viewportWords1[2], float width, float height, float scaleX,
                                  float scaleY, const Vector& pointer);
    // The frame globals of an in-game UI draw under the renderer's camera.
    static void SetInGameRenderMatrices(float shiftX, float shiftY);
    // Command 29: draws the tree and publishes the candidates it recorded.
    void RenderPass(bool clearStencil);
    // During a pass: candidates of a modal element's subtree hide what was recorded before.
    void AddSelectionCandidate(const Vector corners[4], const UIElement& element);
    void RestartSelectionCandidates();
    bool IsRecordingCandidates() const { return m_recording; }
    int32_t& NoCandidateCounter() { return m_noCandidateCounter; }
    uint32_t GetRenderCandidateCount() const { return m_renderCandidateCount; }

protected:
    // Called by Draw each frame with what it computed, before the screen's draw is queued; screens
    // that place their children by the window size do it here.
    virtual void OnLayout(uint32_t, uint32_t, const Matrix&, const Matrix&, float, float) {}

private:
    void WriteScreenMatrices(const Matrix& view, const Matrix& projection, const uint32_t viewportWords0[2],
                             const uint32_t viewportWords1[2], float width, float height, float scaleX, float scaleY,
                             const Vector& pointer);
    void WriteRenderPass();
    UIElement* OfferUpwards(UIElement* element, bool down, uint32_t pointer);
    void MoveForTextInput(float raise);
    // Hides the edited input's caret element and clears the focus (nothing without one).
    void EndTextEditing();
    void UpdateEntityTracking(const GameSideCamera& sceneCamera);

    // Main side, in declaration order of the screen's data.
    Dynarray<UIEntityTrackingEntry*> m_tracking;
    float m_scaleFactorX = 1.0f;
    float m_scaleFactorY = 1.0f;
    bool m_blocksSceneRendering = false;
    bool m_processesInput = true;
    bool m_windowSizeLayout = false;
    bool m_keepAspect = true;
    bool m_pausesGame = false;
    bool m_fadesOut = false;
    Vector m_backgroundColor{0.0f, 0.0f, 0.0f, 0.0f};
    // Render side.
    UISelectionCandidate m_renderCandidates[kMaxSelectionCandidates];
    uint32_t m_renderCandidateCount = 0;
    bool m_recording = false;
    int32_t m_noCandidateCounter = 0;
    // Main side.
    UISelectionCandidate m_mainCandidates[kMaxSelectionCandidates];
    uint32_t m_mainCandidateCount = 0;
    SyncCounter m_candidateHandOver;
    uint32_t m_hoveredElementId = 0;
    SafePointer<UIElement> m_focusedTextInput; // a UIUniTextInput while one is edited
    SafePointer<UIElement> m_modalElement;
    SafePointer<UIElement> m_pressedElement;
    SafePointer<UIElement> m_simulatedTapElement;
    bool m_shiftedForTextInput = false;
    bool m_pressActive = false;
    bool m_dragging = false;
    bool m_moved = false;
    uint32_t m_pressPointer = 0;
    UIScreenLayout m_layout;
    Vector m_lastCursor{0.0f, 0.0f, 0.0f, 0.0f};
    uint32_t m_drawCount = 0;
};
