// The renderer's device settings from the user and project configurations. Main thread.
#pragma once

#include "renderer/DeviceParams.h"

class EngineConfig;
class ProjectConfig;

// The values the renderer builds its device parameters from.
RendererDeviceSettings BuildRendererDeviceSettings(const EngineConfig& config, const ProjectConfig& project);
