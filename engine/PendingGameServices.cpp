#include "engine/PendingGameServices.h"

#include "core/console/GameConsole.h"

#include <atomic>

namespace
{
enum PendingService
{
    PENDING_COLOR_FADES,
    PENDING_UI_MEMORY_GUARD,
    PENDING_COUNT,
};

std::atomic<bool> gReported[PENDING_COUNT];

// Says once per Game start that a service is not built; the frame's calls stay silent after that.
void NotBuilt(PendingService service, const char* name)
{
    if (!gReported[service].exchange(true, std::memory_order_relaxed))
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "%s is not built yet", name);
}
} // namespace

namespace PendingGameServices
{
void ForgetReports()
{
    for (std::atomic<bool>& reported : gReported)
        reported.store(false, std::memory_order_relaxed);
}

void UpdateEntityColorFades()
{
    NotBuilt(PENDING_COLOR_FADES, "Entity colour fades");
}

void DisableUIMemoryGuard()
{
    NotBuilt(PENDING_UI_MEMORY_GUARD, "UI memory guard");
}
} // namespace PendingGameServices
