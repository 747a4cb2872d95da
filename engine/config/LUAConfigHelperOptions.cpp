#include "engine/config/LUAConfigHelper.h"

#include "audio/sound/SoundEngine.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "online/NorvexAnalytics.h"
#include "platform/os/CodePage.h"
#include "ui/text/StringManager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace
{
// The control-set numbers the key tests tell apart.
constexpr int32_t kPadControlSet = 0;
constexpr int32_t kDirectInputControlSet = 3;
constexpr uint32_t kMaxInputMode = 4;
constexpr uint32_t kWindows1252 = 1252;

enum ControlQuery
{
    kHeld = 0,
    kPressedFirstTime = 1,
    kReleasedFirstTime = 2,
};

const char* const kMouseButtonNames[6] = {
    "System/MouseButtons/Left",           "System/MouseButtons/Right",           "System/MouseButtons/Middle",
    "System/MouseButtons/LeftDoubleClick", "System/MouseButtons/RightDoubleClick", "System/MouseButtons/MiddleDoubleClick",
};

// Where the localized language names live: one string per language, named as in the configuration.
constexpr const char* kLanguageNamesGroup = "System/Languages/";

// The localized text of `path` in the current language as narrow text; empty (and logged by the
// string manager) when the path is missing, empty while no string manager exists.
std::string ConfigOptionsLocalizedText(const std::string& path)
{
    const char16_t* text = gStringManager != nullptr
                               ? gStringManager->GetStringNeutral(path.c_str(), kCurrentLanguage, nullptr, true, true)
                               : nullptr;
    if (text == nullptr)
        return std::string();
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    std::string narrow(length, '\0');
    narrow.resize(os::WideToNarrow(kWindows1252, text, length, narrow.data(), length));
    return narrow;
}

void ApplyVolumes()
{
    if (gSoundEngine != nullptr)
        gSoundEngine->ApplyVolumeSettings();
}

InputManager& Input() { return gGame.GetInputManager(); }
} // namespace

float LUAConfigHelper::GetMusicVolume() const { return gGameConfig.m_musicVolume; }

void LUAConfigHelper::SetMusicVolume(float volume)
{
    gGameConfig.m_musicVolume = volume;
    ApplyVolumes();
}

float LUAConfigHelper::GetSFXVolume() const { return gGameConfig.m_sfxVolume; }

void LUAConfigHelper::SetSFXVolume(float volume)
{
    gGameConfig.m_sfxVolume = volume;
    ApplyVolumes();
}

float LUAConfigHelper::GetVoiceVolume() const { return gGameConfig.m_voiceVolume; }

void LUAConfigHelper::SetVoiceVolume(float volume)
{
    gGameConfig.m_voiceVolume = volume;
    ApplyVolumes();
}

void LUAConfigHelper::SetVolumes(float music, float sfx, float voice)
{
    gGameConfig.m_musicVolume = music;
    gGameConfig.m_sfxVolume = sfx;
    gGameConfig.m_voiceVolume = voice;
    ApplyVolumes();
}

uint32_t LUAConfigHelper::GetLanguage() const { return gGameConfig.m_textLanguage; }

void LUAConfigHelper::SetLanguage(uint32_t language)
{
    gGameConfig.m_textLanguage = language;
    if (gStringManager != nullptr)
        gStringManager->ReloadStrings();
}

uint32_t LUAConfigHelper::GetSubtitles() const { return gGameConfig.m_subtitleMode; }

void LUAConfigHelper::SetSubtitles(uint32_t mode) { gGameConfig.m_subtitleMode = uint8_t(mode); }

bool LUAConfigHelper::ShouldDisplaySubtitles() const
{
    switch (gGameConfig.m_subtitleMode)
    {
    case 0:
    {
        uint32_t language = gGameConfig.m_textLanguage;
        // No language of its own: the one the string manager chose at start decides.
        if (language >= kLanguageNone && gStringManager != nullptr)
            language = gStringManager->GetChosenLanguage();
        return language != kLanguageEnglish;
    }
    case 1:
        return true;
    case 2:
        return false;
    default:
        return true;
    }
}

const char* LUAConfigHelper::GetLanguageNameIfAvailable(uint32_t language) const
{
    if (language == kLanguageDefault)
        return "Default";
    if (language >= kLanguageNone)
        return nullptr;
    return (gProjectConfig.m_languageMask >> language) & 1u ? LanguageNameOfId(language) : nullptr;
}

std::string LUAConfigHelper::GetLanguageString(uint32_t language) const
{
    if (language >= kNamedLanguageCount)
        return std::string();
    return ConfigOptionsLocalizedText(std::string(kLanguageNamesGroup) + LanguageNameOfId(language));
}

uint32_t LUAConfigHelper::GetInputMode() const { return gGameConfig.m_inputMode; }

void LUAConfigHelper::SetInputMode(uint32_t mode)
{
    const uint32_t limited = std::min(mode, kMaxInputMode);
    if (limited == gGameConfig.m_inputMode)
        return;
    gGameConfig.m_inputMode = limited;
    if (GameDelegate* delegate = gGame.GetDelegate())
        delegate->OnInputConfigChanged();
}

void LUAConfigHelper::SetXControllerVibrationsEnabled(bool enabled) { gGameConfig.m_xControllerVibrations = enabled; }

bool LUAConfigHelper::GetXControllerVibrationsEnabled() const { return gGameConfig.m_xControllerVibrations; }

void LUAConfigHelper::VibrateXController(float left, float right, float durationSeconds)
{
    (void)durationSeconds; // the pad keeps vibrating until told otherwise
    gGame.VibrateXController(left, right);
}

uint32_t LUAConfigHelper::GetFirstPressedKey() const
{
    for (uint32_t code = 0; code <= kLastKeyCode; ++code)
        if (Input().IsKeyPressedForTheFirstTime(code))
            return code;
    for (uint32_t code = INPUT_MOUSE_LEFT; code <= INPUT_MOUSE_MIDDLE_DOUBLE_CLICK; ++code)
        if (Input().IsKeyPressedForTheFirstTime(code))
            return code;
    return 0;
}

uint32_t LUAConfigHelper::GetFirstPressedXControllerButton(uint32_t pad) const
{
    for (uint32_t button : kPadButtons)
        if (Input().IsXControllerKeyPressedForTheFirstTime(button, pad))
            return button;
    return 0;
}

uint32_t LUAConfigHelper::GetFirstPressedDIControllerButton(uint32_t pad) const
{
    (void)pad; // one DirectInput pad is read
    // Numbered 1 to 32 as the stored set-3 bindings are (0 is none), so the answer binds as it is.
    for (uint32_t button = 1; button <= kDirectInputButtonCount; ++button)
        if (Input().IsDIControllerKeyPressedForTheFirstTime(button))
            return button;
    return 0;
}

void LUAConfigHelper::AppendKeyName(std::string& text, uint32_t code, bool upper) const
{
    if (code >= INPUT_MOUSE_LEFT && code <= INPUT_MOUSE_MIDDLE_DOUBLE_CLICK)
    {
        text += ConfigOptionsLocalizedText(kMouseButtonNames[code - INPUT_MOUSE_LEFT]);
        return;
    }
    char name[256] = {};
    Input().GetKeyName(name, sizeof(name), code);
    std::string appended(name);
    if (upper)
        std::transform(appended.begin(), appended.end(), appended.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
    text += appended;
}

void LUAConfigHelper::RemoveAllControls(int32_t set) { gGameConfig.RemoveAllControls(set); }

void LUAConfigHelper::SetPrimaryControl(int32_t set, int32_t action, uint32_t code)
{
    gGameConfig.SetPrimaryControl(set, action, code);
}

void LUAConfigHelper::SetSecondaryControl(int32_t set, int32_t action, uint32_t code)
{
    gGameConfig.SetSecondaryControl(set, action, code);
}

uint32_t LUAConfigHelper::GetControl(int32_t set, int32_t action, bool secondary) const
{
    uint32_t primary = 0;
    uint32_t second = 0;
    gGameConfig.GetControl(set, action, primary, second);
    return secondary ? second : primary;
}

uint32_t LUAConfigHelper::GetControlDefinitionEstablishedMagic() const { return gGameConfig.m_controlEstablished; }

void LUAConfigHelper::SetControlDefinitionEstablishedMagic(uint32_t magic) { gGameConfig.m_controlEstablished = magic; }

bool LUAConfigHelper::TestControl(int32_t set, int32_t action, uint32_t pad, int query) const
{
    uint32_t codes[2] = {0, 0};
    gGameConfig.GetControl(set, action, codes[0], codes[1]);
    const InputManager& input = Input();
    for (uint32_t code : codes)
    {
        bool hit = false;
        if (set == kPadControlSet)
            hit = query == kHeld                ? input.IsXControllerKeyPressed(code, pad)
                  : query == kPressedFirstTime ? input.IsXControllerKeyPressedForTheFirstTime(code, pad)
                                               : input.IsXControllerKeyReleasedForTheFirstTime(code, pad);
        else if (set == kDirectInputControlSet)
            hit = query == kHeld                ? input.IsDIControllerKeyPressed(code)
                  : query == kPressedFirstTime ? input.IsDIControllerKeyPressedForTheFirstTime(code)
                                               : false;
        else
            hit = query == kHeld                ? input.IsKeyPressed(code)
                  : query == kPressedFirstTime ? input.IsKeyPressedForTheFirstTime(code)
                                               : input.IsKeyReleasedForTheFirstTime(code);
        if (hit)
            return true;
    }
    return false;
}

bool LUAConfigHelper::IsKeyOrButtonPressed(int32_t set, int32_t action, uint32_t pad) const
{
    return TestControl(set, action, pad, kHeld);
}

bool LUAConfigHelper::IsKeyOrButtonPressedForTheFirstTime(int32_t set, int32_t action, uint32_t pad) const
{
    return TestControl(set, action, pad, kPressedFirstTime);
}

bool LUAConfigHelper::IsKeyOrButtonReleasedForTheFirstTime(int32_t set, int32_t action, uint32_t pad) const
{
    return TestControl(set, action, pad, kReleasedFirstTime);
}

void LUAConfigHelper::EnableConsole(bool enable) { gGameConfig.m_connectToExternalConsole = enable; }

void LUAConfigHelper::SaveConfig()
{
    if (GameDelegate* delegate = gGame.GetDelegate())
        delegate->OnConfigSaved();
    gNorvexEngine.SaveConfig();
}

void LUAConfigHelper::PerformLuaFullGCCycle() { gLua.CollectGarbage(true); }

bool LUAConfigHelper::CheckIfFileExists(const char* name, const char* extension, const char* folder) const
{
    return gFileSystem.FileExists(name, extension, folder);
}

uint32_t LUAConfigHelper::GetNetworkPort() const { return gGameConfig.m_port; }

void LUAConfigHelper::SetNetworkPort(uint32_t port) { gGameConfig.m_port = port; }

const char* LUAConfigHelper::GetDistroTag() const { return gProjectConfig.m_distributionTag.c_str(); }

const char* LUAConfigHelper::GetActiveConfigurationProfiles() const
{
    return gGameConfig.m_activeConfigurationProfiles.c_str();
}

bool LUAConfigHelper::GetUserGUIDEstablished() const { return gGameConfig.m_userGUIDEstablished; }

void LUAConfigHelper::SetUserGUIDEstablished(bool established) { gGameConfig.m_userGUIDEstablished = established; }

SimpleGUID LUAConfigHelper::GetUserGUID() const { return *gGameConfig.GetUserGUID(); }

void LUAConfigHelper::SetUserGUID(const SimpleGUID& guid) { gGameConfig.SetUserGUID(guid); }

void LUAConfigHelper::AnalyticsBegin(const char* name)
{
    if (m_engineAnalytics)
        gNorvexAnalytics.Begin(name);
}

void LUAConfigHelper::AnalyticsAddInt(const char* name, int32_t value)
{
    if (m_engineAnalytics)
        gNorvexAnalytics.AddInt(name, value);
}

void LUAConfigHelper::AnalyticsAddFloat(const char* name, float value)
{
    if (m_engineAnalytics)
        gNorvexAnalytics.AddFloat(name, value);
}

void LUAConfigHelper::AnalyticsAddString(const char* name, const char* value)
{
    if (m_engineAnalytics)
        gNorvexAnalytics.AddString(name, value);
}

void LUAConfigHelper::AnalyticsEnd()
{
    if (m_engineAnalytics)
        gNorvexAnalytics.End(true);
}

const char* LUAConfigHelper::GetBenchmarkDeviceScreenScaleFactorString()
{
    std::snprintf(m_screenScaleFactor, sizeof(m_screenScaleFactor), "%.2f", 1.0);
    return m_screenScaleFactor;
}

const char* LUAConfigHelper::GetBenchmarkDeviceScreenWidthString()
{
    std::snprintf(m_screenWidth, sizeof(m_screenWidth), "%d", int(gGame.GetScreenWidth()));
    return m_screenWidth;
}

const char* LUAConfigHelper::ToAsciiUnsafe(const char16_t* text)
{
    m_ascii[0] = '\0';
    if (text == nullptr)
        return m_ascii;
    size_t length = 0;
    while (length < kAsciiBufferSize - 1 && text[length] != 0)
        ++length;
    // Longer text is cut at the buffer, where the unbounded copy would have run past it.
    const size_t written = os::WideToNarrow(kWindows1252, text, length, m_ascii, kAsciiBufferSize - 1);
    m_ascii[std::min(written, kAsciiBufferSize - 1)] = '\0';
    return m_ascii;
}
