// InputManager: the one owner of player input. Main thread only (the window procedure, the game
// update and script calls all run there).
//
// Data flow. The window feeds mouse buttons, moves and the wheel (OnMouseButton, OnMouseMove,
// OnMouseWheel) and touches (BeginTap, MoveTap, EndTap); keys and characters arrive as input events
// (QueueInputEvent). Mouse events wait in a queue in which a move replaces a trailing move and a
// button event replaces a trailing move. Each input step (Update) samples the keyboard, takes ONE
// queued mouse event into the latched button bytes, turns the latched bytes into this step's mouse
// bytes, moves the pending wheel into the step's wheel and updates the four pad slots (XInput
// users 0 and 1, Steam controllers 0 and 1) and the DirectInput pad; the game repeats input steps
// while mouse events are queued, so scripts see every queued event in a step of its own. Queries
// compare this step's bytes with the previous step's: held, pressed for the first time, released
// for the first time. Keys (scan codes 0-255) and mouse buttons (0x10000-0x10005) share one code
// space (InputCodes.h).
//
// Taps are numbered contacts with a small life cycle (new, retrieved, ended before or after being
// retrieved, release reported), offered to the UI first (TapTargets.h) and otherwise reported as
// input events; with tap emulation on, the left, right and middle mouse buttons make taps too, a
// second button standing for a second finger mirrored through the centre of the screen.
//
// Start-up: InitDirectInput, then InitDevices with the window; Shutdown at game close.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"
#include "core/time/Time.h"
#include "engine/input/DirectInputPad.h"
#include "engine/input/InputCodes.h"
#include "engine/input/KeyboardDevice.h"
#include "engine/input/TapTargets.h"
#include "engine/input/XControllerBase.h"
#include "platform/input/DirectInput.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Distance (in 0..1 screen units) a mouse-emulated tap may travel before it moves; set by scripts
// (Game:SetTapMoveThreshold), 0 until then.
extern float gTapMoveThreshold;

// Keyboard, mouse, pads, Steam controllers and taps; see the design comment above.
class InputManager
{
public:
    static constexpr uint32_t kMouseByteCount = 6;
    static constexpr uint32_t kKeyCount = KeyboardDevice::kKeyCount;
    static constexpr int32_t kInitialQueueCapacity = 16;

    // A queued mouse event: kind (InputMouseEventKind) and position in 0..1 of the client area.
    struct MouseEvent
    {
        uint32_t kind;
        float x;
        float y;
    };

    // An event for the script hook OnInputEvent.
    struct InputEvent
    {
        uint32_t kind; // InputEventKind
        uint32_t value;
    };

    enum TapState : uint32_t
    {
        TAP_NEW = 0,
        TAP_ACTIVE = 1, // retrieved and still down
        TAP_ENDED_UNRETRIEVED = 2,
        TAP_ENDED = 3, // ended after it was retrieved
        TAP_RELEASE_REPORTED = 4,
    };

    static constexpr uint32_t kNoTapSource = 0xFFFFFFFFu;

    // One tap, 64 bytes.
    struct Tap
    {
        Vector start;
        Vector current;
        uint32_t id;
        uint32_t source; // touch id or mouse code; kNoTapSource once the source let go
        uint32_t state; // TapState
        float largestDistance2; // squared, FLT_MAX once cancelled as a click
        int64_t startTicks;
        int64_t endTicks;
    };

    // `owner` is offered every tap first (may be null: nothing takes taps).
    explicit InputManager(TapPointerTarget* owner = nullptr);
    ~InputManager();
    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    // Creates the DirectInput interface; false (logged) when it cannot be had. Runs before
    // InitDevices, or the keyboard cannot start.
    bool InitDirectInput();
    // Creates the keyboard, the pad slots, the Steam controller pads and the DirectInput pad.
    bool InitDevices(input::WindowHandle window);
    // Deletes the devices; the DirectInput interface stays until destruction.
    void Shutdown();

    // Feeding from the window: positions in 0..1 of the client area, clamped.
    void OnMouseButton(float x, float y, uint32_t kind);
    void OnMouseMove(float x, float y);
    // A forward notch (delta > 0) sets the pending wheel to +1, a backward one to -1.
    void OnMouseWheel(int32_t delta);
    void BeginTap(uint32_t source, float x, float y);
    void MoveTap(uint32_t source, float x, float y);
    void EndTap(uint32_t source, float x, float y);
    void QueueInputEvent(uint32_t kind, uint32_t value);
    // After a device change: the DirectInput pad again, and every pad slot polls at once.
    void ReconnectDevices();
    void ReleaseDirectInputPad();
    void ConnectDirectInputPad();

    // One input step; true when a pad connected or disconnected.
    bool Update(const Time& now);
    bool HasQueuedMouseEvents() const { return !m_mouseEvents.IsEmpty(); }
    const Dynarray<InputEvent>& GetInputEvents() const { return m_inputEvents; }
    void ClearInputEvents() { m_inputEvents.Clear(); }
    // Drops the taps that ended or were reported released.
    void EndFrame();
    // Ends every live tap at (0, 0) and stops every enabled pad's motors (app deactivation).
    void EndAllTaps();
    // Around a device reset, during which the window may never report a contact's lift:
    // UpdateTouchState keeps the touch contacts down before it, FlushTouchState has the next Update
    // end those still down where they were last seen. Not ended inside the reset itself, where no
    // handler may reach the renderer.
    void UpdateTouchState();
    void FlushTouchState();

    // Keys and mouse codes; false for codes outside both ranges.
    bool IsKeyPressed(uint32_t code) const;
    bool IsKeyPressedForTheFirstTime(uint32_t code) const;
    bool IsKeyReleasedForTheFirstTime(uint32_t code) const;
    const Vector& GetCursorPosition() const { return m_cursor; }
    bool IsCursorOnGameWindow() const { return m_cursorOnWindow; }
    float GetMouseWheel() const { return m_wheel; }
    // Empty without a keyboard.
    void GetKeyName(char* buffer, size_t size, uint32_t scanCode) const;

    // Pads: 0-3 one slot, INPUT_ANY_PAD every enabled slot.
    bool IsXControllerPresent(uint32_t pad) const;
    Vector GetXControllerAnalogInput(uint32_t pad) const;
    float GetXControllerLeftTriggerInput(uint32_t pad) const;
    float GetXControllerRightTriggerInput(uint32_t pad) const;
    bool IsXControllerKeyPressed(uint32_t button, uint32_t pad) const;
    bool IsXControllerKeyPressedForTheFirstTime(uint32_t button, uint32_t pad) const;
    bool IsXControllerKeyReleasedForTheFirstTime(uint32_t button, uint32_t pad) const;
    void VibrateXController(float left, float right, uint32_t pad);
    // Bit `pad` of the enable mask; INPUT_ANY_PAD sets every bit or none.
    void EnableControllerInput(bool on, uint32_t pad);
    uint32_t GetControllerEnableMask() const { return m_padEnableMask; }
    XControllerBase* GetPadSlot(uint32_t slot) const;

    // The DirectInput pad; buttons numbered 1-32 here.
    bool IsDIControllerPresent() const { return m_directInputPad.HasDevice(); }
    void AppendDIDeviceName(std::string& text, bool clearFirst) const;
    // Buttons numbered 0-31, as the pad's object names are.
    void AppendDIKeyName(std::string& text, uint32_t button, bool clearFirst) const;
    const Vector& GetDIControllerAnalogInput() const { return m_directInputPad.GetAnalog(); }
    bool IsDIControllerKeyPressed(uint32_t button) const;
    bool IsDIControllerKeyPressedForTheFirstTime(uint32_t button) const;
    const DirectInputPad& GetDirectInputPad() const { return m_directInputPad; }

    void EnableMouseTapEmulation(bool on) { m_tapEmulation = on; }
    bool IsMouseTapEmulationEnabled() const { return m_tapEmulation; }

    // Tap queries; an unknown id answers 0, false or the zero vector and changes nothing.
    uint32_t GetNewTap(uint32_t& source);
    uint32_t GetNewTapForUIElement(const TapHitTestScreen* screen, uint32_t elementId, uint32_t& source);
    bool IsTapWithinUIElement(uint32_t id, const TapHitTestScreen* screen, uint32_t elementId) const;
    uint32_t GetNextReleasedTap();
    uint32_t GetNextTapId(uint32_t id) const;
    bool IsTapStillActive(uint32_t id) const;
    void CancelTapAsClick(uint32_t id);
    void MarkTapRetrieved(uint32_t id);
    // Current position; distance is the largest from the start, duration in seconds.
    // Where the pointer of that source (the pointer id the UI is given) is while it is down, whether
    // the UI or the game took it; false when it is not down.
    bool GetPointerPosition(uint32_t source, Vector& out) const;
    Vector GetTapPosition(uint32_t id, uint32_t& source, Vector& start, float& distance, float& duration) const;
    const Dynarray<Tap>& GetTaps() const { return m_taps; }

    uint32_t GetUpdateCount() const { return m_updateCount; }
    const Dynarray<MouseEvent>& GetMouseEvents() const { return m_mouseEvents; }
    const KeyboardDevice* GetKeyboard() const { return m_keyboard.get(); }

private:
    // A mouse button's tap-emulation state.
    struct MouseTapEmulation
    {
        Vector start;
        Vector current;
        float offset[2];
        bool down;
        bool mirrored;
        bool withinThreshold;
    };

    void QueueMouseEvent(uint32_t kind, float x, float y);
    void ApplyMouseEvent(const MouseEvent& event);
    void EmulateTapButton(uint32_t kind, float x, float y);
    void ApplyMoveThreshold(MouseTapEmulation& record, float x, float y);
    Tap* FindTap(uint32_t id);
    const Tap* FindTap(uint32_t id) const;
    // Ends the tap at the point: state, position, largest distance and end time.
    static void EndTapRecord(Tap& tap, float x, float y, int64_t now);
    bool IsSlotEnabled(uint32_t slot) const;

    float m_wheel = 0.0f;
    uint8_t m_mouse[kMouseByteCount] = {};
    uint8_t m_previousMouse[kMouseByteCount] = {};
    uint8_t m_keys[kKeyCount] = {};
    uint8_t m_previousKeys[kKeyCount] = {};
    std::unique_ptr<input::DirectInput> m_directInput;
    std::unique_ptr<KeyboardDevice> m_keyboard;
    uint8_t m_latchedMouse[kMouseByteCount] = {};
    Dynarray<MouseEvent> m_mouseEvents;
    float m_pendingWheel = 0.0f;
    MouseTapEmulation m_tapEmulationRecords[kMouseByteCount] = {};
    std::unique_ptr<XControllerBase> m_pads[kInputPadSlotCount];
    uint32_t m_padEnableMask = 0xFFFFFFFFu;
    DirectInputPad m_directInputPad;
    Vector m_cursor{0.5f, 0.5f, 0.0f, 0.0f};
    bool m_cursorOnWindow = true;
    uint32_t m_updateCount = 0;
    bool m_directInputPadsEnabled = false;
    Dynarray<Tap> m_taps;
    // Every pointer that is down, by source: taps the UI took never enter m_taps.
    struct ActivePointer
    {
        uint32_t source;
        Vector position;
    };
    Dynarray<ActivePointer> m_activePointers;
    void SetActivePointer(uint32_t source, float x, float y);
    void RemoveActivePointer(uint32_t source);
    void EndTouchesHeldAcrossReset();
    Dynarray<uint32_t> m_touchesAcrossReset; // touch sources down when a device reset began
    bool m_touchesAcrossResetDue = false;    // the reset is over: the next Update ends them
    uint32_t m_nextTapId = 1;
    Dynarray<InputEvent> m_inputEvents;
    TapPointerTarget* m_owner;
    bool m_tapEmulation = true;
    bool m_steamControllerRunning = false;
    int64_t m_frameTicks = 0;
};
