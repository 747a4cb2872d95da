// NorvexEngine: the one engine object (script global gNorvexEngine). Main thread only.
//
// Init brings the engine's services up in a fixed order inside window creation: the core, the
// game client service, the file reader thread, the per-user folders and configuration, every data
// folder but the textures, the project configuration, the renderer, the textures, the resource
// manager, Lua, the frame ring, the template manager, the shader manager, video, the scene
// environment, the sound thread, the entity manager, the profiler, the system font, the strings
// and fonts, the UI scene parameters, and finally "Engine successfully initialized". The engine creates the renderer, the
// resource manager, the video engine and the sound engine itself, in that order, and Close destroys
// them in reverse, so nothing of them is left to static destruction. A step that must succeed and fails logs its
// reason, pauses a second, runs Close and makes Init return false.
//
// Close is idempotent: it runs after a failed Init and again at shutdown, every step tolerates a
// service that never started, and every pointer it frees is cleared.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/time/Time.h"

#include <cstdint>
#include <memory>
#include <string>

class EngineConfig;
struct FrameClock;
class NorvexRenderer;
class Resource;
class ResourceManager;
class SafePointerRoot;
class SoundEngine;
class StringManager;
class UIFontTable;
class VideoEngine;

// Start-up, per-frame engine update and shutdown of the engine services.
class NorvexEngine
{
public:
    // Mount mask bits name the data folders by index.
    static constexpr uint32_t kDataFolderCount = 11;
    static constexpr uint32_t kAllButTexturesMask = 0xFFFFFF7Fu;
    static constexpr uint32_t kTexturesMask = 0x80u;
    static constexpr uint32_t kContainerHashMultiplier = 0x5BD1E995u;
    static constexpr uint32_t kFailurePauseMs = 1000;

    // One data container mounted in container mode: 16 bytes in the growable list.
    struct MountedContainer
    {
        uint32_t bit;
        uint32_t nameIndex;
        uint8_t optional;
        int32_t group; // -1: none
    };

    NorvexEngine();
    ~NorvexEngine();
    NorvexEngine(const NorvexEngine&) = delete;
    NorvexEngine& operator=(const NorvexEngine&) = delete;

    // config is the caller's user configuration; window is handed to the renderer.
    bool Init(void* window, const char* projectName, const char* configFileName, EngineConfig* config, bool initLua);
    void Close();
    // The engine's share of a frame, with the game's two render clocks.
    void Update(const FrameClock& clockC, const FrameClock& clockD, bool sceneRenderingBlocked);
    // Sleeps, then pumps the game client service's callbacks.
    void Sleep(uint32_t milliseconds);

    bool InitSteam();
    void LogStartBanner();
    bool MountDataFolders(uint32_t mask);
    void UnmountDataFolders();

    // Around a device re-creation: the game's hooks and every entity's rendering context.
    void NotifyBeforeDeviceReset();
    void NotifyAfterDeviceReset();

    // Camera controllers add themselves when built and remove themselves when destroyed; Close
    // deletes whatever is still listed (each controller is a SafePointerRoot with a virtual destructor).
    void AddCameraController(SafePointerRoot* controller);
    void RemoveCameraController(SafePointerRoot* controller);
    int32_t GetCameraControllerCount() const { return m_cameraControllers.Count(); }

    // Hands the address to the desktop's browser (script-visible); false for a null address.
    bool ActivateExternalBrowser(const char* url);

    bool CreateUserFolders();
    bool LoadConfig(const char* configFileName);
    bool SaveConfig();
    bool LoadProjectConfigFile();

    bool IsInitialised() const { return m_initialised; }
    // Why the last Init failed at a step of its own (empty when it did not), for the program's last line.
    const char* GetStartupFailure() const { return m_startupFailure.c_str(); }
    EngineConfig* GetConfig() const { return m_config; }
    const char* GetProjectName() const { return m_projectName.c_str(); }
    uint32_t GetMainThreadId() const { return m_mainThreadId; }
    const Dynarray<MountedContainer>& GetMountedContainers() const { return m_containers; }
    NorvexRenderer* GetRenderer() const { return m_renderer.get(); }
    ResourceManager* GetResourceManager() const { return m_resourceManager.get(); }
    SoundEngine* GetSoundEngine() const { return m_soundEngine.get(); }
    VideoEngine* GetVideoEngine() const { return m_videoEngine.get(); }

private:
    bool RunStartup(void* window, const char* projectName, const char* configFileName, EngineConfig* config,
                    bool initLua);
    // Logs "Start-up failed: <reason>", keeps the reason and answers false.
    bool FailStartup(const std::string& reason);
    // Nothing names the data root: where the user configuration was looked for and how to name one.
    std::string DescribeMissingConfig() const;
    bool StartRenderer(void* window);
    void CreateStringManager();
    void DeleteStringManager();
    void LoadSystemFont();
    void ApplyUISceneParameters();
    void AddMountedContainer(uint32_t bit, uint32_t nameIndex, uint8_t optional, int32_t group);
    std::string FindDataDirectory() const;
    void SubmitRendererSync();
    void PublishScriptGlobals();

    Dynarray<SafePointerRoot*> m_cameraControllers;
    EngineConfig* m_config = nullptr;
    std::string m_projectName;
    std::string m_startupFailure;
    uint32_t m_mainThreadId = 0;
    bool m_initialised = false;
    bool m_coreStarted = false;
    bool m_steamStarted = false;
    bool m_fileReaderStarted = false;
    Resource* m_systemFont = nullptr;
    Dynarray<MountedContainer> m_containers;
    uint32_t m_mountedMask = 0;
    // Created by Init in this order and destroyed by Close in reverse.
    std::unique_ptr<NorvexRenderer> m_renderer;
    std::unique_ptr<ResourceManager> m_resourceManager;
    std::unique_ptr<VideoEngine> m_videoEngine;
    std::unique_ptr<SoundEngine> m_soundEngine;
    std::unique_ptr<StringManager> m_stringManager;
    std::unique_ptr<UIFontTable> m_fontTable;
};

extern NorvexEngine gNorvexEngine;
