// LUAConfigHelper: the options service of the scripts (script global gConfigHelper). The game's
// option screens read and change the user configuration through it, apply graphics settings,
// query controls and keys, and send analytics events. Every call is a thin synchronous one; a
// change that must take effect tells the renderer, the sound engine or the input manager.
//
// Main thread only.
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>
#include <string>

class NorvexRenderer;

// The scripts' options service.
class LUAConfigHelper
{
public:
    // Windowed screen modes are these resolution-scale steps.
    static constexpr uint32_t kWindowedModeCount = 5;
    static constexpr float kScaleSteps[kWindowedModeCount] = {0.5f, 0.6f, 0.75f, 0.9f, 1.0f};
    // The pad buttons in the order the first-pressed query tries them.
    static constexpr uint32_t kPadButtonCount = 16;
    static constexpr uint32_t kPadButtons[kPadButtonCount] = {0x1,    0x2,    0x4,    0x8,    0x10,   0x20,
                                                              0x40,   0x80,   0x100,  0x200,  0x1000, 0x2000,
                                                              0x4000, 0x8000, 0x10001, 0x10002};
    static constexpr uint32_t kLastKeyCode = 236;
    static constexpr uint32_t kDirectInputButtonCount = 32;
    static constexpr size_t kAsciiBufferSize = 512;

    // Graphics and screen.
    uint32_t GetGFXQualityLevel() const;
    void SetGFXQualityLevel(uint32_t level);
    float GetScreenResolutionScale() const;
    void SetScreenResolutionScale(float scale);
    float GetBrightness() const;
    void SetBrightness(float brightness);
    float GetScreenScaleX() const;
    void SetScreenScaleX(float scale);
    float GetScreenScaleY() const;
    void SetScreenScaleY(float scale);
    void SetZoom(float zoom);
    void ToggleShadows();
    void ToggleVSync();
    bool IsHDMode() const;
    void EnableFrontToBackSorting(bool enable);
    // The renderer's option; false while no renderer runs.
    bool IsFrontToBackSortingEnabled() const;
    void ApplySeriousGFXSettings();
    bool GetFullScreen() const;
    void SetFullScreen(bool fullScreen);
    bool GetOutlineState() const;
    void SetOutlineState(bool on);
    void AdjustScreenModeTableToDisplayMode();
    uint32_t GetScreenModeCount() const;
    // "%dx%d" of a display mode or "%u%%" of a scale step; an index past the display modes gives "".
    std::string GetScreenModeDesc(uint32_t index) const;
    void SetScreenMode(uint32_t index);
    uint32_t GetScreenMode() const;

    // Sound and language.
    float GetMusicVolume() const;
    void SetMusicVolume(float volume);
    float GetSFXVolume() const;
    void SetSFXVolume(float volume);
    float GetVoiceVolume() const;
    void SetVoiceVolume(float volume);
    void SetVolumes(float music, float sfx, float voice);
    uint32_t GetLanguage() const;
    void SetLanguage(uint32_t language);
    uint32_t GetSubtitles() const;
    void SetSubtitles(uint32_t mode);
    bool ShouldDisplaySubtitles() const;
    // Null when the language is not offered.
    const char* GetLanguageNameIfAvailable(uint32_t language) const;
    std::string GetLanguageString(uint32_t language) const;

    // Input and controls.
    uint32_t GetInputMode() const;
    void SetInputMode(uint32_t mode);
    void SetXControllerVibrationsEnabled(bool enabled);
    bool GetXControllerVibrationsEnabled() const;
    void VibrateXController(float left, float right, float durationSeconds);
    uint32_t GetFirstPressedKey() const;
    uint32_t GetFirstPressedXControllerButton(uint32_t pad) const;
    uint32_t GetFirstPressedDIControllerButton(uint32_t pad) const;
    void AppendKeyName(std::string& text, uint32_t code, bool upper) const;
    void RemoveAllControls(int32_t set);
    void SetPrimaryControl(int32_t set, int32_t action, uint32_t code);
    void SetSecondaryControl(int32_t set, int32_t action, uint32_t code);
    uint32_t GetControl(int32_t set, int32_t action, bool secondary) const;
    uint32_t GetControlDefinitionEstablishedMagic() const;
    void SetControlDefinitionEstablishedMagic(uint32_t magic);
    bool IsKeyOrButtonPressed(int32_t set, int32_t action, uint32_t pad) const;
    bool IsKeyOrButtonPressedForTheFirstTime(int32_t set, int32_t action, uint32_t pad) const;
    bool IsKeyOrButtonReleasedForTheFirstTime(int32_t set, int32_t action, uint32_t pad) const;
    void EnableConsole(bool enable);

    // System, identity and analytics.
    void SaveConfig();
    void PerformLuaFullGCCycle();
    bool CheckIfFileExists(const char* name, const char* extension, const char* folder) const;
    uint32_t GetNetworkPort() const;
    void SetNetworkPort(uint32_t port);
    const char* GetDistroTag() const;
    const char* GetActiveConfigurationProfiles() const;
    bool GetUserGUIDEstablished() const;
    void SetUserGUIDEstablished(bool established);
    SimpleGUID GetUserGUID() const;
    void SetUserGUID(const SimpleGUID& guid);
    void EnableNorvexAnalytics(bool enable) { m_engineAnalytics = enable; }
    void EnableFlurryOrApsalarAnalytics(bool enable) { m_secondAnalytics = enable; }
    bool IsNorvexAnalyticsEnabled() const { return m_engineAnalytics; }
    void AnalyticsBegin(const char* name);
    void AnalyticsAddInt(const char* name, int32_t value);
    void AnalyticsAddFloat(const char* name, float value);
    void AnalyticsAddString(const char* name, const char* value);
    void AnalyticsEnd();
    const char* GetBenchmarkDeviceSpecString() const { return ""; }
    const char* GetEmptyDeviceString() const { return ""; }
    const char* GetBenchmarkDeviceScreenScaleFactorString();
    const char* GetBenchmarkDeviceScreenWidthString();
    // Wide text to Windows-1252 in one buffer that every call shares (the next call overwrites
    // it); text beyond its 511 characters is cut.
    const char* ToAsciiUnsafe(const char16_t* text);
    // Switches to every scene of "Scenes.Config" in turn and logs the textures each one uses.
    void LogResourcesUsage();

private:
    // Hands the renderer the settings of the current configuration and re-applies the display at the
    // size the device has now: the renderer otherwise keeps the settings it was started with.
    static void ReapplyDisplaySettings(NorvexRenderer& renderer);
    bool TestControl(int32_t set, int32_t action, uint32_t pad, int query) const;

    bool m_engineAnalytics = false;
    bool m_secondAnalytics = false;
    bool m_fullScreenCopy = false;
    char m_deviceSpec[64] = {};
    char m_screenScaleFactor[16] = {};
    char m_screenWidth[5] = {};
    char m_ascii[kAsciiBufferSize] = {};
};

extern LUAConfigHelper gConfigHelper;

