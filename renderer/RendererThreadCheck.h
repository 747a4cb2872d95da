// Checks of the calling thread for the renderer's classes; any thread may run them.
//
// Builds with NORVEX_THREAD_CHECKS (every build type but Release) log a call made from the wrong
// thread as an error on the render channel and carry on, so that a misplaced call shows in the log
// and in tests without changing what the renderer does; Release builds compile the checks out.
#pragma once

#ifdef NORVEX_THREAD_CHECKS
// Logs that `function` was called on a thread other than `expected`.
void ReportWrongRendererThread(const char* function, const char* expected);
#define NORVEX_CHECK_GAME_THREAD(renderer)                                                                             \
    ((renderer).IsGameThread() ? void() : ReportWrongRendererThread(__func__, "the game thread"))
#define NORVEX_CHECK_RENDER_SIDE(renderer)                                                                             \
    ((renderer).IsRenderSide() ? void() : ReportWrongRendererThread(__func__, "the render thread"))
#else
#define NORVEX_CHECK_GAME_THREAD(renderer) ((void)0)
#define NORVEX_CHECK_RENDER_SIDE(renderer) ((void)0)
#endif
