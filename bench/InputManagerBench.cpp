// One input step of the input manager, per second: the keyboard read, four connected pads (two
// XInput pads, two Steam controllers) and the DirectInput pad updated, and one mouse event taken
// from a full queue. No library does this job, so the figure stands beside the frame budget
// (16.6 ms at 60 frames per second) instead of a reference.
#include "core/filesystem/FileSystem.h"
#include "engine/input/InputManager.h"
#include "platform/input/InputHardware.h"
#include "platform/input/SteamController.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace
{
constexpr int kQueuedEvents = InputManager::kInitialQueueCapacity;

void PlugEverything()
{
    input::ResetInputHardware();
    for (uint32_t user = 0; user < 2; ++user)
    {
        input::PlugXInputPad(user);
        input::XInputGamepad state;
        state.buttons = 0x1000;
        state.thumbLX = 20000;
        state.leftTrigger = 100;
        input::SetXInputPadState(user, state);
        input::PlugSteamController(user);
        input::SteamControllerPadState steam;
        steam.buttons = 0x81;
        steam.leftPadY = -15000;
        input::SetSteamControllerState(user, steam);
    }
    input::GamePadSpec spec;
    spec.productName = "Bench pad";
    input::PlugGamePad(spec);
    for (uint8_t key = 16; key < 26; ++key)
        input::SetKey(key, true);
}

void BM_InputManagerUpdate(benchmark::State& state)
{
    PlugEverything();
    gFileSystem.MountDirectory("locals", std::filesystem::temp_directory_path().c_str());
    InputManager manager;
    manager.InitDirectInput();
    int window = 0;
    manager.InitDevices(&window);
    manager.EnableMouseTapEmulation(false);
    int64_t updates = 0;
    for (auto _ : state)
    {
        // Alternating presses and releases do not merge: every event waits for a step of its own.
        for (int i = 0; i < kQueuedEvents; ++i)
            manager.OnMouseButton(0.5f, 0.5f, i % 2 == 0 ? INPUT_MOUSE_EVENT_LEFT_DOWN : INPUT_MOUSE_EVENT_LEFT_UP);
        const Time now = Time::Now();
        while (manager.HasQueuedMouseEvents())
        {
            manager.Update(now);
            ++updates;
        }
        benchmark::DoNotOptimize(manager.IsXControllerKeyPressed(0x1000, INPUT_ANY_PAD));
    }
    state.SetItemsProcessed(updates);
    // Seconds per update, to set beside the 16.6 ms frame.
    state.counters["per_update"] =
        benchmark::Counter(double(updates), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    manager.Shutdown();
    gFileSystem.UnmountAll();
}
BENCHMARK(BM_InputManagerUpdate);
} // namespace
