#include "engine/config/EngineConfig.h"

#include "core/reflection/RTTIClass.h"
#include "engine/config/LanguageNames.h"

#include <algorithm>

RTTI_DEFINE_CLASS(EngineConfig, CoreConfig)

void EngineConfig::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EngineConfig;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Repository path", &C::m_repositoryPath, 34));

    table.AddProperty(new RTTIPropertyGroup("Input"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Mouse sensitivity", &C::m_mouseSensitivity, 0,
                                                                  "Sensitivity of mouse\n    ; )"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Invert mouse", &C::m_invertMouse));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Input mode", &C::m_inputMode));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("XController vibrations", &C::m_xControllerVibrations));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Steam controller in editor", &C::m_steamControllerInEditor));

    table.AddProperty(new RTTIPropertyGroup("Renderer"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Full screen mode", &C::m_fullScreenMode));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, RendererConfigContainer>("Renderer config", &C::m_rendererConfig));

    table.AddProperty(new RTTIPropertyGroup("Sound"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Music volume", &C::m_musicVolume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("SFX volume", &C::m_sfxVolume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Voice volume", &C::m_voiceVolume));

    table.AddProperty(new RTTIPropertyGroup("Network"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Port", &C::m_port));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("EnableCloud", &C::m_enableCloud));

    table.AddProperty(new RTTIPropertyGroup("Language"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Text language", &C::m_textLanguage,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(gLanguageNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Voice language", &C::m_voiceLanguage,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(gLanguageNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Subtitle mode", &C::m_subtitleMode, 2));

    table.AddProperty(new RTTIPropertyGroup("Debug"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Render triggers", &C::m_renderTriggers));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Render pathfinder debug", &C::m_renderPathfinderDebug));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Active configuration profiles",
                                                                        &C::m_activeConfigurationProfiles));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>(
        "Try to load templates and textures from Mobile subdir", &C::m_loadFromMobileSubdir));
    table.AddProperty(new RTTISGProperty<C, SimpleGUID>("UserGUID", &C::SetUserGUID, &C::GetUserGUID));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("UserGUID established", &C::m_userGUIDEstablished));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("PhysX debugger IP", &C::m_physXDebuggerIP));

    table.AddProperty(new RTTIPropertyGroup("Controls"));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, ControlEntry>("GamePad Control", &C::m_gamePadControls));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, ControlEntry>("Mouse Control", &C::m_mouseControls));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, ControlEntry>("Keyboard Control", &C::m_keyboardControls));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, ControlEntry>("DIPad Control", &C::m_diPadControls));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Control established", &C::m_controlEstablished));

    table.AddProperty(new RTTIPropertyGroup("Misc"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Console show commands", &C::m_consoleShowCommands));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, KeyBindDef>("Key binds", &C::m_keyBinds));
    table.AddProperty(new RTTIStringHistoryProperty<C>("Console history", &C::m_consoleHistory));
    table.AddProperty(
        new RTTIStaticBitVectorProperty<C, kProfilerChannelCount>("In game profilers", &C::m_inGameProfilers));
    table.AddProperty(
        new RTTIStaticBitVectorProperty<C, kProfilerChannelCount>("Editor profilers", &C::m_editorProfilers));
}

EngineConfig::EngineConfig()
{
    SetDefaults();
}

void EngineConfig::SetDefaults()
{
    m_repositoryPath.clear();
    m_mouseSensitivity = 1.0f;
    m_invertMouse = false;
    m_inputMode = 1;
    m_xControllerVibrations = true;
    m_steamControllerInEditor = false;
    m_fullScreenMode = true;
    m_rendererConfig.SetDefaults();
    m_musicVolume = -1.0f;
    m_sfxVolume = -1.0f;
    m_voiceVolume = -1.0f;
    m_port = 9876;
    m_enableCloud = true;
    m_textLanguage = kLanguageDefault;
    m_voiceLanguage = kLanguageEnglish;
    m_subtitleMode = 0;
    m_renderTriggers = false;
    m_renderPathfinderDebug = false;
    m_activeConfigurationProfiles.clear();
    m_userGUID.Clear();
    m_userGUIDEstablished = false;
    m_physXDebuggerIP.clear();
    m_controlEstablished = 0;
    m_consoleShowCommands = false;
    m_keyBinds.FreeStorage();
    m_consoleHistory.Clear();
    m_inGameProfilers = {};
    m_editorProfilers = {};
    for (int32_t set = 0; set < kControlSetCount; ++set)
        GetControlSet(set)->FreeStorage();
}

void EngineConfig::OnPostLoad(uint32_t flags)
{
    CoreConfig::OnPostLoad(flags);
    // The language ids index the name table; a stray value from a file would read past it.
    if (m_textLanguage >= kLanguageCount)
        m_textLanguage = kLanguageDefault;
    if (m_voiceLanguage >= kLanguageCount)
        m_voiceLanguage = kLanguageEnglish;
    // Lookups binary-search the key binds, so a file's order must not be trusted.
    std::stable_sort(m_keyBinds.begin(), m_keyBinds.end(),
                     [](const KeyBindDef& a, const KeyBindDef& b) { return a.m_keyCode < b.m_keyCode; });
}
