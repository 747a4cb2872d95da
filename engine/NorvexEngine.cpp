#include "engine/NorvexEngine.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/video/VideoEngine.h"
#include "core/Core.h"
#include "core/console/GameConsole.h"
#include "core/containers/SafePointer.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "core/memory/FrameRingAllocator.h"
#include "effects/sfx/SFXDefinition.h"
#include "engine/ClassRegistration.h"
#include "engine/EngineRendererSettings.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/config/ConfigServices.h"
#include "engine/config/ConfigFiles.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/LuaWrapper.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "gameplay/sequences/SequenceActionFactory.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "gameplay/physics/PhysicsThread.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"
#include "platform/steam/Steam.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/PathLineRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "ui/recipes/UIProperties.h"
#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"
#include "ui/text/UIFontTable.h"

#include <utility>

NorvexEngine gNorvexEngine;

namespace
{
constexpr const char* kSystemFontName = "_system.ttf~020";
constexpr float kWorldBottom = -25.0f;
constexpr float kWorldTop = 200.0f;
} // namespace

NorvexEngine::NorvexEngine() = default;

// Close has run by now in a program that started the engine; what is left here is only memory.
NorvexEngine::~NorvexEngine() = default;

bool NorvexEngine::Init(void* window, const char* projectName, const char* configFileName, EngineConfig* config,
                        bool initLua)
{
    if (projectName == nullptr || *projectName == '\0')
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "NorvexEngine::Init: no project name");
        return false;
    }
    // A second start over running services would leak them; Close must come first.
    if (m_coreStarted)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "NorvexEngine::Init: the engine runs already");
        return false;
    }
    m_startupFailure.clear();
    if (RunStartup(window, projectName, configFileName, config, initLua))
        return true;
    os::Sleep(kFailurePauseMs);
    steam::RunCallbacks();
    Close();
    return false;
}

bool NorvexEngine::RunStartup(void* window, const char* projectName, const char* configFileName,
                              EngineConfig* config, bool initLua)
{
    // The x64 floating-point unit already rounds to nearest; single precision is the float type's.
    RegisterAllClasses();
    m_mainThreadId = os::CurrentThreadId();
    if (!Core::Init(config))
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The program folder could not be mounted as \"locals\"");
    m_coreStarted = true;
    m_config = config;
    m_projectName = projectName;
    LogStartBanner();
    if (!InitSteam())
        return FailStartup("the game client service did not start");
    gPhysicalFileReader.EnsureStarted();
    m_fileReaderStarted = true;
    PhysicsServices::Create();
    CreateUserFolders();
    const bool savedConfig = LoadConfig(configFileName);
    const std::string noConfig =
        m_config == nullptr || m_config->m_repositoryPath.empty() ? DescribeMissingConfig() : std::string();
    if (!noConfig.empty())
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "The data is read from the program's folder: %s",
                        noConfig.c_str());
    if (!MountDataFolders(kAllButTexturesMask))
        return FailStartup("the data folders could not be mounted from " + FindDataDirectory() +
                           (noConfig.empty() ? "" : ": " + noConfig));
    if (!LoadProjectConfigFile())
        return FailStartup("the project configuration could not be read");
    if (!StartRenderer(window))
        return FailStartup("the renderer could not be started");
    if (!savedConfig && m_config != nullptr)
        ConfigFiles::ApplyProjectLanguageDefaults(gProjectConfig, *m_config);
    m_renderer->SetSceneColorMode(gProjectConfig.m_visualizationMode);
    MountDataFolders(kTexturesMask);
    m_resourceManager = std::make_unique<ResourceManager>();
    if (!m_resourceManager->Init())
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The resource thread could not be started");
    CreateStringManager();
    if (initLua && !gLua.Init())
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The Lua state could not be created");
    // The project's own "Animation buffer KB", "World range" and "World cell" size the engine (the
    // budget getters answer fixed PC values for the other services).
    gFrameRingAllocator.Init(gProjectConfig.m_animationBufferKB * 1024u);
    gTemplateManager.Init();
    gGlobalScriptScheduler.Clear();
    const bool standalone = m_config != nullptr && m_config->IsStandaloneBuild();
    if (!gShaderManager.Init(standalone))
        return FailStartup("the shader manager could not be started");
    gPostprocessManager.InitPostProcessChain(gProjectConfig.m_postprocessShader.CStr());
    m_videoEngine = std::make_unique<VideoEngine>();
    m_videoEngine->Init();
    gSceneEnvironment.SetConfig(m_config);
    gSceneEnvironment.Create();
    gOutlineRenderer.LoadShaders();
    m_soundEngine = std::make_unique<SoundEngine>();
    if (m_soundEngine->Init())
        m_soundEngine->Flush();
    else
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The sound thread could not be started");
    PublishScriptGlobals();
    const float range = gProjectConfig.m_worldRange;
    const BoundingBox4 world(Vector(-range, kWorldBottom, -range, 1.0f), Vector(range, kWorldTop, range, 1.0f));
    gEntityManager.Init(world, gProjectConfig.m_worldCell);
    gProfiler.LoadOverlayFont();
    gProfiler.Init(m_config != nullptr ? &m_config->m_inGameProfilers : nullptr);
    if (!standalone && initLua)
        gLua.ExecuteFile("EditorMain", "common/scripts", true);
    gEngineTimer.Reset();
    LoadSystemFont();
    if (standalone)
    {
        m_stringManager->LoadCompiledStrings();
        m_fontTable->LoadConfig();
    }
    else
        m_stringManager->LoadStrings();
    m_resourceManager->MarkResources(RESOURCE_POOL_ALL, 1);
    // Crashes keep the system's default handling: there is no filter of our own to install.
    ApplyUISceneParameters();
    m_initialised = true;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Engine successfully initialized");
    return true;
}

bool NorvexEngine::FailStartup(const std::string& reason)
{
    m_startupFailure = reason;
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Start-up failed: %s", reason.c_str());
    return false;
}

bool NorvexEngine::StartRenderer(void* window)
{
    if (m_config == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "The renderer needs a user configuration");
        return false;
    }
    m_renderer = std::make_unique<NorvexRenderer>();
    m_renderer->SetDeviceSettings(BuildRendererDeviceSettings(*m_config, gProjectConfig));
    return m_renderer->Init(window, m_config->IsStandaloneBuild() && m_config->m_fullScreenMode);
}

// The project's UI scene parameter template gives the scene environment the override set that UI
// screens draw with.
void NorvexEngine::ApplyUISceneParameters()
{
    const SimpleGUID& guid = gProjectConfig.m_uiSceneParamTemplate;
    if (guid.IsNull())
        return;
    SceneParametersTemplate* const parameters =
        dynamic_cast<SceneParametersTemplate*>(gTemplateManager.GetTemplateByGUID(guid, true));
    if (parameters == nullptr || parameters->GetWrapper() == nullptr)
    {
        char text[40];
        guid.ToString(text, sizeof(text));
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE,
                         "The UI scene param template %s is no loaded scene parameters template", text);
        return;
    }
    parameters->SetAsOverride();
}

// The string manager and the font table come up together, after the resource manager; the project
// configuration's "Default language" chooses the language again through the configuration hook.
void NorvexEngine::CreateStringManager()
{
    m_stringManager = std::make_unique<StringManager>(m_config);
    gStringManager = m_stringManager.get();
    gConfigServices.selectSteamLanguage = [] {
        if (gStringManager != nullptr)
            gStringManager->SelectSteamLanguage();
    };
    m_fontTable = std::make_unique<UIFontTable>();
    gUIFontTable = m_fontTable.get();
}

void NorvexEngine::DeleteStringManager()
{
    gConfigServices.selectSteamLanguage = nullptr;
    gStringManager = nullptr;
    m_stringManager.reset();
}

void NorvexEngine::LoadSystemFont()
{
    if (m_resourceManager == nullptr)
        return;
    m_systemFont = m_resourceManager->GetResource(RESOURCE_TYPE_FONT, kSystemFontName, 0, true, 0);
    if (m_systemFont != nullptr)
        m_systemFont->Load(true);
}

// The Lua state opened before the sound and video engines existed, so their script globals are
// set again now that they do.
void NorvexEngine::PublishScriptGlobals()
{
    if (gLua.GetState() == nullptr)
        return;
    if (gSoundEngine != nullptr)
        gLua.RegisterGlobalObject(gSoundEngine, "SoundEngine", "gSoundEngine");
    if (gVideoEngine != nullptr)
        gLua.RegisterGlobalObject(gVideoEngine, "VideoEngine", "gVideoEngine");
}

void NorvexEngine::SubmitRendererSync()
{
    if (m_renderer != nullptr && m_renderer->IsStreamOpen())
        m_renderer->SubmitCommands(true);
}

void NorvexEngine::Close()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexEngine closing...");
    if (m_initialised)
        gPathLineRenderer.Clear();
    DeleteStringManager();
    gDefaultReplacementContainer.Clear(true);
    gUIProperties.Clear();
    if (m_systemFont != nullptr)
    {
        m_systemFont->Release();
        m_systemFont = nullptr;
    }
    gUIFontTable = nullptr;
    m_fontTable.reset();
    // Each controller removes itself from the list as it dies, so the list is taken first.
    Dynarray<SafePointerRoot*> controllers(std::move(m_cameraControllers));
    m_cameraControllers.FreeStorage();
    for (SafePointerRoot* controller : controllers)
        delete controller;
    SubmitRendererSync();
    gEntityManager.DestroyScene();
    SFXDefinition::StopWaitingForAllArrivals();
    gTemplateManager.Close();
    SubmitRendererSync();
    gGlobalScriptScheduler.Clear();
    gSequenceSystem.Reset();
    gSequenceActionFactory.Clear();
    gSoundEntriesContainer.RemoveAllSoundEntries();
    gFrameRingAllocator.Release();
    gLua.Close();
    gProfiler.Close();
    if (m_videoEngine != nullptr)
        m_videoEngine->Close();
    if (m_soundEngine != nullptr)
        m_soundEngine->Close();
    gSceneEnvironment.Close();
    gSceneEnvironment.SetConfig(nullptr);
    gOutlineRenderer.ReleaseShaders();
    gPostprocessManager.ReleaseShaders();
    if (m_resourceManager != nullptr && m_resourceManager->IsInitialised())
    {
        m_resourceManager->PostCommand(RESOURCE_POOL_ALL_BUT_SHADERS, 0, 0);
        m_resourceManager->Flush();
    }
    SubmitRendererSync();
    gShaderManager.Close();
    if (m_renderer != nullptr && m_renderer->IsStreamOpen())
    {
        m_renderer->ReleaseDeviceObjects();
        SubmitRendererSync();
    }
    // The history belongs to the configuration, which outlives the engine: emptying it (rather than
    // freeing its strings behind its back) leaves nothing for the configuration to free twice.
    if (m_config != nullptr)
        m_config->m_consoleHistory.Clear();
    if (m_resourceManager != nullptr)
        m_resourceManager->Close();
    if (m_renderer != nullptr)
        m_renderer->Close();
    gProjectConfig.Clear();
    m_soundEngine.reset();
    m_videoEngine.reset();
    m_resourceManager.reset();
    m_renderer.reset();
    UnmountDataFolders();
    PhysicsServices::Destroy();
    if (m_fileReaderStarted)
        gPhysicalFileReader.Close();
    m_fileReaderStarted = false;
    if (m_steamStarted)
        steam::Shutdown();
    m_steamStarted = false;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexEngine closed");
    if (m_coreStarted)
        Core::Shutdown();
    m_coreStarted = false;
    m_projectName.clear();
    m_config = nullptr;
    m_initialised = false;
}

void NorvexEngine::Update(const FrameClock& clockC, const FrameClock& clockD, bool sceneRenderingBlocked)
{
    if (m_renderer != nullptr && m_renderer->IsStreamOpen())
    {
        FrameClock engineClock;
        engineClock.accumulatedCounter = uint64_t(gEngineTimer.GetTicks());
        engineClock.lastStepSeconds = gEngineTimer.GetLastStepSeconds();
        m_renderer->SetFrameTimes(engineClock, clockC, clockD, sceneRenderingBlocked ? kFrameTimesSceneBlocked : 0u);
    }
    gFrameRingAllocator.NextGeneration();
    gGlobalScriptScheduler.Update(gEngineTimer.GetTicks());
    gLua.Tick();
    gSequenceSystem.Update();
    steam::RunCallbacks();
}

void NorvexEngine::Sleep(uint32_t milliseconds)
{
    os::Sleep(milliseconds);
    steam::RunCallbacks();
}

void NorvexEngine::NotifyBeforeDeviceReset()
{
    gPathLineRenderer.Clear();
    gGame.NotifyDelegateBeforeDeviceChange();
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        entity->DropRenderingContextIfNeeded();
}

void NorvexEngine::NotifyAfterDeviceReset()
{
    gGame.NotifyDelegateAfterDeviceChange();
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        entity->RebuildRenderingContextIfNeeded();
}

void NorvexEngine::AddCameraController(SafePointerRoot* controller)
{
    if (controller != nullptr)
        m_cameraControllers.Add(controller);
}

void NorvexEngine::RemoveCameraController(SafePointerRoot* controller)
{
    m_cameraControllers.RemoveValue(controller);
}
