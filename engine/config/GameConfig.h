// The game's level of the user configuration: window size and the container switch. Main thread.
#pragma once

#include "engine/config/EngineConfig.h"

// The user configuration of the standalone game; one global instance, gGameConfig.
class GameConfig : public EngineConfig
{
    RTTI_DECLARE_CLASS(GameConfig, EngineConfig)

public:
    GameConfig();

    bool IsStandaloneBuild() const override { return true; }
    bool IsHDMode() const override { return true; }
    bool UsesContainerFiles() const override { return m_useContainerFiles; }

    uint32_t m_windowWidth = 800;
    uint32_t m_windowHeight = 500;
    bool m_useContainerFiles = true;
};

extern GameConfig gGameConfig;
