// Services the Game calls whose own subsystems are not built yet: entity colour fades and the UI
// memory guard. The Game calls them in its own order; each says once per run in the log that it is
// not built, and the issue that builds the service replaces its call with the real one. Main thread.
#pragma once

#include <cstdint>

namespace PendingGameServices
{
// Each Game start reports the services again.
void ForgetReports();

// Renderer and resources.
void UpdateEntityColorFades();

// User interface.
void DisableUIMemoryGuard();
} // namespace PendingGameServices
