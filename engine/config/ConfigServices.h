// Services of later subsystems that the configuration classes call after a property change. Each
// subsystem installs its entry when it starts and clears it when it closes; an empty entry means
// the service does not run (yet), so the change is only stored. Main thread.
#pragma once

// Hooks the configuration calls; null entries are skipped.
struct ConfigServices
{
    // LUAConfigHelper::ApplySeriousGFXSettings: the renderer re-applies the graphics settings.
    void (*applySeriousGFXSettings)() = nullptr;
    // StringManager::SelectSteamLanguage: the text language is chosen again.
    void (*selectSteamLanguage)() = nullptr;
};

extern ConfigServices gConfigServices;
