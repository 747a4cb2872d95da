#include "engine/EngineClassRegistration.h"

#include "engine/config/ControlEntry.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/FontReplacement.h"
#include "engine/config/GameConfig.h"
#include "engine/config/KeyBindDef.h"
#include "engine/config/MobileQualityEntries.h"
#include "engine/config/ProjectConfig.h"
#include "engine/config/RendererConfigContainer.h"
#include "engine/config/SceneNamesTable.h"

void RegisterEngineClasses()
{
    EngineConfig::RegisterRTTIClass();
    GameConfig::RegisterRTTIClass();
    RendererConfigContainer::RegisterRTTIClass();
    KeyBindDef::RegisterRTTIClass();
    ControlEntry::RegisterRTTIClass();
    ProjectConfig::RegisterRTTIClass();
    FontReplacement::RegisterRTTIClass();
    MobileDeviceEntry::RegisterRTTIClass();
    MobileTextureQualityEntry::RegisterRTTIClass();
    SceneNamesTable::RegisterRTTIClass();
}
