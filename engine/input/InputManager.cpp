#include "engine/input/InputManager.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "engine/input/XController.h"
#include "engine/input/XSteamController.h"
#include "platform/input/SteamController.h"

#include <algorithm>
#include <cstring>

float gTapMoveThreshold = 0.0f;

namespace
{
constexpr size_t kMaxPathLength = 260;

template <typename T>
void ReserveOnFirstUse(Dynarray<T>& array)
{
    if (array.Capacity() == 0)
        array.SetCapacity(InputManager::kInitialQueueCapacity);
}
} // namespace

InputManager::InputManager(TapPointerTarget* owner) : m_owner(owner) {}

InputManager::~InputManager()
{
    // Devices made on the interface go before it.
    m_directInputPad.Release();
    m_keyboard.reset();
    m_directInput.reset();
}

bool InputManager::InitDirectInput()
{
    m_wheel = m_pendingWheel = 0.0f;
    std::memset(m_mouse, 0, sizeof(m_mouse));
    std::memset(m_previousMouse, 0, sizeof(m_previousMouse));
    std::memset(m_latchedMouse, 0, sizeof(m_latchedMouse));
    std::memset(m_keys, 0, sizeof(m_keys));
    std::memset(m_previousKeys, 0, sizeof(m_previousKeys));
    m_directInput = input::DirectInput::Create(input::kDirectInputVersion);
    if (m_directInput == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to initialize DirectInput");
        return false;
    }
    m_directInputPadsEnabled = false;
    return true;
}

bool InputManager::InitDevices(input::WindowHandle window)
{
    m_cursor.Set(0.5f, 0.5f, 0.0f, 0.0f);
    m_directInputPadsEnabled = true;
    m_keyboard = std::make_unique<KeyboardDevice>(m_directInput.get(), window);
    m_pads[0] = std::make_unique<XController>(0);
    m_pads[1] = std::make_unique<XController>(1);
    if (input::SteamController* const steam = input::SteamController::Get())
    {
        char path[kMaxPathLength];
        if (!gFileSystem.ResolvePhysicalPath("controller.vdf", nullptr, "locals", path, sizeof(path)))
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Steam controller configuration path cannot be built");
        else if (steam->Init(path))
        {
            m_steamControllerRunning = true;
            steam->SetOverrideMode("");
            m_pads[2] = std::make_unique<XSteamController>(0);
            m_pads[3] = std::make_unique<XSteamController>(1);
        }
    }
    m_directInputPad.Init(m_directInput.get(), window);
    m_directInputPad.Connect();
    return true;
}

void InputManager::Shutdown()
{
    m_keyboard.reset();
    for (std::unique_ptr<XControllerBase>& pad : m_pads)
        pad.reset();
    if (m_steamControllerRunning)
    {
        if (input::SteamController* const steam = input::SteamController::Get())
            steam->Shutdown();
        m_steamControllerRunning = false;
    }
    m_directInputPad.Release();
}

void InputManager::QueueMouseEvent(uint32_t kind, float x, float y)
{
    ReserveOnFirstUse(m_mouseEvents);
    const int32_t last = m_mouseEvents.Count() - 1;
    // A move replaces a trailing move; a button event takes a trailing move's place.
    if (last >= 0 && m_mouseEvents[last].kind == INPUT_MOUSE_EVENT_MOVE)
    {
        m_mouseEvents[last] = MouseEvent{kind, x, y};
        return;
    }
    m_mouseEvents.Add(MouseEvent{kind, x, y});
}

void InputManager::OnMouseButton(float x, float y, uint32_t kind)
{
    if (kind > INPUT_MOUSE_EVENT_ENTERED_WINDOW || kind == INPUT_MOUSE_EVENT_MOVE)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Unknown mouse event kind %u", kind);
        return;
    }
    x = std::clamp(x, 0.0f, 1.0f);
    y = std::clamp(y, 0.0f, 1.0f);
    QueueMouseEvent(kind, x, y);
    if (m_tapEmulation)
        EmulateTapButton(kind, x, y);
}

void InputManager::OnMouseWheel(int32_t delta)
{
    if (delta > 0)
        m_pendingWheel = 1.0f;
    else if (delta < 0)
        m_pendingWheel = -1.0f;
}

void InputManager::QueueInputEvent(uint32_t kind, uint32_t value)
{
    ReserveOnFirstUse(m_inputEvents);
    m_inputEvents.Add(InputEvent{kind, value});
}

void InputManager::ReconnectDevices()
{
    if (m_directInputPadsEnabled)
        m_directInputPad.Connect();
    for (std::unique_ptr<XControllerBase>& pad : m_pads)
        if (pad != nullptr)
            pad->PollNow();
}

void InputManager::ReleaseDirectInputPad()
{
    m_directInputPad.Release();
}

void InputManager::ConnectDirectInputPad()
{
    if (m_directInputPadsEnabled)
        m_directInputPad.Connect();
}

void InputManager::ApplyMouseEvent(const MouseEvent& event)
{
    m_cursor.Set(event.x, event.y, 0.0f, 0.0f);
    switch (event.kind)
    {
    case INPUT_MOUSE_EVENT_LEFT_DOWN: m_latchedMouse[0] = 1; break;
    case INPUT_MOUSE_EVENT_LEFT_UP: m_latchedMouse[0] = 0; break;
    case INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK: m_latchedMouse[3] = 1; break;
    case INPUT_MOUSE_EVENT_RIGHT_DOWN: m_latchedMouse[1] = 1; break;
    case INPUT_MOUSE_EVENT_RIGHT_UP: m_latchedMouse[1] = 0; break;
    case INPUT_MOUSE_EVENT_RIGHT_DOUBLE_CLICK: m_latchedMouse[4] = 1; break;
    case INPUT_MOUSE_EVENT_MIDDLE_DOWN: m_latchedMouse[2] = 1; break;
    case INPUT_MOUSE_EVENT_MIDDLE_UP: m_latchedMouse[2] = 0; break;
    case INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK: m_latchedMouse[5] = 1; break;
    case INPUT_MOUSE_EVENT_LEFT_WINDOW: m_cursorOnWindow = false; break;
    case INPUT_MOUSE_EVENT_ENTERED_WINDOW: m_cursorOnWindow = true; break;
    default: break;
    }
}

bool InputManager::Update(const Time& now)
{
    ++m_updateCount;
    m_frameTicks = now.GetTicks();
    EndTouchesHeldAcrossReset();
    if (m_keyboard != nullptr)
    {
        std::memcpy(m_previousKeys, m_keys, sizeof(m_keys));
        m_keyboard->Poll();
        std::memcpy(m_keys, m_keyboard->GetKeys(), sizeof(m_keys));
    }
    m_latchedMouse[3] = m_latchedMouse[4] = m_latchedMouse[5] = 0;
    if (!m_mouseEvents.IsEmpty())
    {
        ApplyMouseEvent(m_mouseEvents[0]);
        m_mouseEvents.RemoveAt(0);
    }
    std::memcpy(m_previousMouse, m_mouse, sizeof(m_mouse));
    std::memcpy(m_mouse, m_latchedMouse, sizeof(m_mouse));
    m_wheel = m_pendingWheel;
    m_pendingWheel = 0.0f;

    bool padsChanged = false;
    for (std::unique_ptr<XControllerBase>& pad : m_pads)
        if (pad != nullptr && pad->Update(now))
            padsChanged = true;
    if (m_directInputPad.Update())
        return true;
    return padsChanged;
}

bool InputManager::IsKeyPressed(uint32_t code) const
{
    if (code < kKeyCount)
        return (m_keys[code] & 0x80) != 0;
    if (code >= INPUT_MOUSE_LEFT && code - INPUT_MOUSE_LEFT < kMouseByteCount)
        return m_mouse[code - INPUT_MOUSE_LEFT] != 0;
    return false;
}

bool InputManager::IsKeyPressedForTheFirstTime(uint32_t code) const
{
    if (code < kKeyCount)
        return (m_keys[code] & 0x80) != 0 && (m_previousKeys[code] & 0x80) == 0;
    if (code >= INPUT_MOUSE_LEFT && code - INPUT_MOUSE_LEFT < kMouseByteCount)
        return m_mouse[code - INPUT_MOUSE_LEFT] != 0 && m_previousMouse[code - INPUT_MOUSE_LEFT] == 0;
    return false;
}

bool InputManager::IsKeyReleasedForTheFirstTime(uint32_t code) const
{
    if (code < kKeyCount)
        return (m_keys[code] & 0x80) == 0 && (m_previousKeys[code] & 0x80) != 0;
    if (code >= INPUT_MOUSE_LEFT && code - INPUT_MOUSE_LEFT < kMouseByteCount)
        return m_mouse[code - INPUT_MOUSE_LEFT] == 0 && m_previousMouse[code - INPUT_MOUSE_LEFT] != 0;
    return false;
}

void InputManager::GetKeyName(char* buffer, size_t size, uint32_t scanCode) const
{
    if (buffer == nullptr || size == 0)
        return;
    buffer[0] = '\0';
    if (m_keyboard != nullptr)
        m_keyboard->GetKeyName(buffer, size, scanCode);
}
