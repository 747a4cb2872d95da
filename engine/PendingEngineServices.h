// Engine services whose own subsystems are not built yet: the post-process chain.
// Start-up, the frame and shutdown call them here in the engine's order; each says once in the log
// that it is not built, and the issue that builds the service replaces its calls with the real
// ones. Main thread.
#pragma once

class ProjectConfig;

namespace PendingEngineServices
{
// Each engine start reports the services again.
void ForgetReports();

// Renderer and resources.
void InitPostProcessChain(const ProjectConfig& project);
// Engine close: the chain's shader pairs go before the shader manager closes.
void ReleasePostProcessShaders();
} // namespace PendingEngineServices
