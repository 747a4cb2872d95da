#include "engine/PendingEngineServices.h"

#include "core/console/GameConsole.h"

#include <atomic>

namespace
{
// Says once per engine start that a service is not built; later calls are silent so the frame's
// calls do not flood the log.
void NotBuilt(std::atomic<bool>& reported, const char* service)
{
    if (!reported.exchange(true, std::memory_order_relaxed))
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "%s is not built yet", service);
}

std::atomic<bool> gPostProcessReported{false};
} // namespace

namespace PendingEngineServices
{
void ForgetReports()
{
    gPostProcessReported.store(false, std::memory_order_relaxed);
}

void InitPostProcessChain(const ProjectConfig&)
{
    NotBuilt(gPostProcessReported, "ShaderManager post-process chain");
}

void ReleasePostProcessShaders()
{
    NotBuilt(gPostProcessReported, "ShaderManager post-process chain");
}
} // namespace PendingEngineServices
