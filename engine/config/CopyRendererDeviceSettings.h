// The renderer's start-up settings taken from the configuration objects. Main thread, before the
// renderer is started and before each display change.
#pragma once

#include "renderer/DeviceParams.h"

class EngineConfig;
class ProjectConfig;

// Fills `settings` from the user's renderer configuration, its standalone-build answer and the
// project configuration's shadow, outline and effect values.
void CopyRendererDeviceSettings(const EngineConfig& config, const ProjectConfig& project,
                                RendererDeviceSettings* settings);
