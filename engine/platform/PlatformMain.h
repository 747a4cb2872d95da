// PlatformMain: the whole life of the program after its entry. The one-instance check, the
// window with the engine's start-up inside it, the Game's start-up, the main loop (window
// messages, pending display changes, focus, game update and render submit, device re-creation)
// and the shutdown. Main thread only.
#pragma once

#include <cstdint>

class GameDelegate;

// Exit codes of the program.
constexpr int kExitClean = 0;
constexpr int kExitStartupFailed = 1;

// 0 after a clean close or when another instance runs (which is brought to the front); 1 when
// start-up failed, with the reason on standard error.
int PlatformMain(int argc, char** argv, int32_t showCommand, GameDelegate* delegate, const char* projectName);

// One turn of the main loop: false once the Game quits. Exposed for tests that drive the loop.
bool RunMainLoopTurn();
