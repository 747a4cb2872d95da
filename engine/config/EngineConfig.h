// User configuration.
//
// The player's settings are one reflected object of the chain CoreConfig < EngineConfig < GameConfig
// (with the RendererConfigContainer, key binds, control sets and console history embedded), saved
// as the object record "config.bin" in the per-user folder "project"; the read-only ProjectConfig
// comes from "Project.ConfigBin" in "common". Property display names are the names editors and
// option code look up; records carry no keys, only the layout magic, so a record written by another
// layout is refused as a whole and the defaults stay (ConfigFiles.h loads and saves both files).
// Changes that must take effect elsewhere go through the hooks of ConfigServices.h.
//
// Everything here runs on the main thread.
#pragma once

#include "core/CoreConfig.h"
#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIBlockProperties.h"
#include "engine/config/ControlEntry.h"
#include "engine/config/KeyBindDef.h"
#include "engine/config/RendererConfigContainer.h"
#include "ui/StringHistoryContainer.h"

#include <cstdint>
#include <string>

// The engine's level of the user configuration.
class EngineConfig : public CoreConfig
{
    RTTI_DECLARE_CLASS(EngineConfig, CoreConfig)

public:
    static constexpr int32_t kControlSetCount = 5;      // sets 0 to 3 are saved, set 4 is not
    static constexpr int32_t kMaxControlActions = 1024; // bound for action indices given by scripts
    static constexpr uint32_t kConsoleHistorySize = 32;
    static constexpr uint32_t kProfilerChannelCount = 81;

    EngineConfig();
    EngineConfig(const EngineConfig&) = delete;
    EngineConfig& operator=(const EngineConfig&) = delete;

    // Every default but "Try to load templates and textures from Mobile subdir"; the user GUID is
    // cleared and not established.
    void SetDefaults();

    // Queries of the configuration chain, answered by the most derived class.
    virtual bool IsStandaloneBuild() const { return false; }
    virtual bool IsHDMode() const { return false; }
    virtual bool UsesContainerFiles() const { return false; }

    // Brings values read from a file into range (enumerations, the key-bind order).
    void OnPostLoad(uint32_t flags) override;

    // Key binds, sorted by key code. Null when the key has no binding; a binding may hold an empty
    // command.
    const char* FindKeyBind(uint32_t key) const;
    // A null command removes the key's binding; any other replaces or inserts it.
    void BindKey(uint32_t key, const char* command);
    void RemoveAllKeyBinds();
    const DynarraySafe<KeyBindDef>& GetKeyBinds() const { return m_keyBinds; }

    // Control sets: out-of-range sets and actions read as 0 and are refused with an error when set.
    void GetControl(int32_t set, int32_t action, uint32_t& primary, uint32_t& secondary) const;
    bool SetPrimaryControl(int32_t set, int32_t action, uint32_t code);
    bool SetSecondaryControl(int32_t set, int32_t action, uint32_t code);
    void RemoveAllControls(int32_t set);
    int32_t GetControlCount(int32_t set) const;

    const SimpleGUID* GetUserGUID() const { return &m_userGUID; }
    void SetUserGUID(const SimpleGUID& guid) { m_userGUID = guid; }

    std::string m_repositoryPath;
    float m_mouseSensitivity;
    bool m_invertMouse;
    uint32_t m_inputMode;
    bool m_xControllerVibrations;
    bool m_steamControllerInEditor;
    bool m_fullScreenMode;
    RendererConfigContainer m_rendererConfig;
    float m_musicVolume; // -1 = not chosen yet: the project's default applies
    float m_sfxVolume;
    float m_voiceVolume;
    uint32_t m_port;
    bool m_enableCloud;
    uint32_t m_textLanguage;
    uint32_t m_voiceLanguage;
    uint8_t m_subtitleMode;
    bool m_renderTriggers;
    bool m_renderPathfinderDebug;
    std::string m_activeConfigurationProfiles;
    bool m_loadFromMobileSubdir = false;
    bool m_userGUIDEstablished;
    std::string m_physXDebuggerIP;
    uint32_t m_controlEstablished; // the control-definition-established magic number
    bool m_consoleShowCommands;
    DynarraySafe<KeyBindDef> m_keyBinds;
    StringHistoryContainer m_consoleHistory{kConsoleHistorySize};
    StaticBitVector<kProfilerChannelCount> m_inGameProfilers;
    StaticBitVector<kProfilerChannelCount> m_editorProfilers;
    // Control sets 0 to 4, by set number.
    DynarraySafe<ControlEntry> m_gamePadControls;
    DynarraySafe<ControlEntry> m_mouseControls;
    DynarraySafe<ControlEntry> m_keyboardControls;
    DynarraySafe<ControlEntry> m_diPadControls;
    DynarraySafe<ControlEntry> m_unsavedControls;

private:
    SimpleGUID m_userGUID;

    DynarraySafe<ControlEntry>* GetControlSet(int32_t set);
    const DynarraySafe<ControlEntry>* GetControlSet(int32_t set) const;
    // The set, grown to hold the action; null (logged) when either index is out of range.
    ControlEntry* PrepareControl(int32_t set, int32_t action, const char* operation);
};
