// The code spaces of player input, shared by the input manager, the devices and the script
// bindings. Plain values: any thread.
#pragma once

#include <cstdint>

// Keys and mouse buttons share one code space: codes below 0x10000 are key scan codes (0-255).
enum InputMouseCode : uint32_t
{
    INPUT_MOUSE_LEFT = 0x10000,
    INPUT_MOUSE_RIGHT = 0x10001,
    INPUT_MOUSE_MIDDLE = 0x10002,
    INPUT_MOUSE_LEFT_DOUBLE_CLICK = 0x10003,
    INPUT_MOUSE_RIGHT_DOUBLE_CLICK = 0x10004,
    INPUT_MOUSE_MIDDLE_DOUBLE_CLICK = 0x10005,
};

// Kinds of the mouse event queue.
enum InputMouseEventKind : uint32_t
{
    INPUT_MOUSE_EVENT_LEFT_DOWN = 0,
    INPUT_MOUSE_EVENT_LEFT_UP = 1,
    INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK = 2,
    INPUT_MOUSE_EVENT_RIGHT_DOWN = 3,
    INPUT_MOUSE_EVENT_RIGHT_UP = 4,
    INPUT_MOUSE_EVENT_RIGHT_DOUBLE_CLICK = 5,
    INPUT_MOUSE_EVENT_MIDDLE_DOWN = 6,
    INPUT_MOUSE_EVENT_MIDDLE_UP = 7,
    INPUT_MOUSE_EVENT_MIDDLE_DOUBLE_CLICK = 8,
    INPUT_MOUSE_EVENT_MOVE = 9,
    INPUT_MOUSE_EVENT_LEFT_WINDOW = 10,
    INPUT_MOUSE_EVENT_ENTERED_WINDOW = 11,
};

// Kinds of the input event list handed to the script hook OnInputEvent(kind, value).
enum InputEventKind : uint32_t
{
    INPUT_EVENT_KEY_DOWN = 0, // value: virtual-key code
    INPUT_EVENT_CHARACTER = 1, // value: character code
    INPUT_EVENT_TAP_BEGAN = 2, // value: tap id
    INPUT_EVENT_TAP_ENDED = 3,
    INPUT_EVENT_TAP_MOVED = 4,
};

// Pad buttons: the XInput gamepad bits and two codes for the triggers.
enum InputPadButton : uint32_t
{
    INPUT_PAD_DPAD_UP = 0x0001,
    INPUT_PAD_DPAD_DOWN = 0x0002,
    INPUT_PAD_DPAD_LEFT = 0x0004,
    INPUT_PAD_DPAD_RIGHT = 0x0008,
    INPUT_PAD_START = 0x0010,
    INPUT_PAD_BACK = 0x0020,
    INPUT_PAD_LEFT_THUMB = 0x0040,
    INPUT_PAD_RIGHT_THUMB = 0x0080,
    INPUT_PAD_LEFT_SHOULDER = 0x0100,
    INPUT_PAD_RIGHT_SHOULDER = 0x0200,
    INPUT_PAD_A = 0x1000,
    INPUT_PAD_B = 0x2000,
    INPUT_PAD_X = 0x4000,
    INPUT_PAD_Y = 0x8000,
    INPUT_PAD_LEFT_TRIGGER = 0x10001,
    INPUT_PAD_RIGHT_TRIGGER = 0x10002,
};

// Pad slot argument meaning every enabled slot.
constexpr uint32_t INPUT_ANY_PAD = 256;
// Pad slots: 0 and 1 XInput users 0 and 1, 2 and 3 Steam controllers 0 and 1.
constexpr uint32_t kInputPadSlotCount = 4;
