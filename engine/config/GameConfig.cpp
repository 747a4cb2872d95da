#include "engine/config/GameConfig.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(GameConfig, EngineConfig)

GameConfig gGameConfig;

void GameConfig::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GameConfig;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Window width", &C::m_windowWidth));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Window height", &C::m_windowHeight));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Use container files", &C::m_useContainerFiles));
}

GameConfig::GameConfig()
{
    // The game never connects to an external console.
    m_connectToExternalConsole = false;
}
