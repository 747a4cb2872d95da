// ctest-labels: thread
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "audio/video/VideoEngine.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "core/memory/FrameRingAllocator.h"
#include "engine/Game.h"
#include "engine/config/ProjectConfig.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/FrameClock.h"
#include "renderer/PathLineRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TemplateWriter.h"
#include "ui/text/StringManager.h"
#include "support/EngineStartupFixture.h"

#include <chrono>
#include <filesystem>

namespace
{
const std::vector<std::string> kStartupMessages = {
    "Build time: ",
    "Current time: ",
    "Initializing engine...",
    "System memory: 1024 MB",
    "Initializing steam",
    "Steam appId: 1",
    "Mounting internal file system: 0xFFFFFF7F",
    "Mounted (ok:1)",
    "NorvexEngine::LoadProjectConfigFile",
    "NorvexRenderer::Init",
    "Mounting internal file system: 0x80",
    "ResourceManager::Init",
    "Steam language: english (1)",
    "TemplateManager::Init",
    "NewScene in",
    "Engine successfully initialized",
};

constexpr const char* kTankGUIDText = "00000000-0000-0000-0000-00000000000A";

SimpleGUID TankGUID()
{
    SimpleGUID guid;
    guid.FromString(kTankGUIDText);
    return guid;
}

const std::vector<std::string> kCloseMessages = {
    "NorvexEngine closing...",
    // The system font was let go: an eviction finds it unused before the pools go.
    "Removing unused resource: _system.ttf~020",
    "ResourceManager closing...",
    "ResourceManager closed",
    "NorvexRenderer closing...",
    "NorvexRenderer closed",
    "NorvexEngine closed",
};

// Counts its own deletions and leaves the engine's list as a real controller does.
class ListedController : public SafePointerRoot
{
public:
    explicit ListedController(int& deleted) : m_deleted(deleted) { gNorvexEngine.AddCameraController(this); }
    ~ListedController() override
    {
        gNorvexEngine.RemoveCameraController(this);
        ++m_deleted;
    }

private:
    int& m_deleted;
};

class RecordingDelegate : public GameDelegate
{
public:
    void OnBeforeDeviceChange() override { calls += "before;"; }
    void OnAfterDeviceChange() override { calls += "after;"; }
    std::string calls;
};

// Tells in `log` when the device reset asks it and when it makes a rendering context.
class ProbeEntity : public Entity
{
public:
    explicit ProbeEntity(std::string& log) : m_log(log) {}
    bool NeedsRenderingContextChange() override
    {
        m_log += "ask " + m_tag + ";";
        return m_needsChange;
    }
    EntityRenderingContext* CreateRenderingContext() override
    {
        m_log += "create " + m_tag + ";";
        return nullptr;
    }
    std::string m_tag;
    bool m_needsChange = false;

private:
    std::string& m_log;
};

class ProbeTemplate : public EntityTemplate
{
public:
    explicit ProbeTemplate(std::string& log) : m_log(log) {}
    Entity* CreateEntity() override { return new ProbeEntity(m_log); }

private:
    std::string& m_log;
};

bool ReadsFile(const char* path, const char* folder)
{
    FileReader reader(path, nullptr, folder, 0);
    return reader.IsOpen();
}
} // namespace

class NorvexEngineTest : public EngineStartupFixture
{
};

TEST_F(NorvexEngineTest, StartsOverFoldersInOrderAndClosesInOrder)
{
    ASSERT_TRUE(MakeDataRoot(false, {"--text", "textures/probe.txt=t"}));
    ASSERT_TRUE(Init());
    EXPECT_TRUE(gNorvexEngine.IsInitialised());
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(), kStartupMessages, &missing)) << "missing or out of order: " << missing;
    // The only errors are the fonts': the data root holds no binary fonts, and fonts are not rasterised at run time.
    for (const CapturedMessage& message : m_log.Messages())
        if (message.kind == CONSOLE_ERROR)
        {
            EXPECT_NE(message.text.find("_system.ttf"), std::string::npos) << message.text;
        }
    EXPECT_EQ(WarningsButLateMix(), std::vector<std::string>());
    EXPECT_FALSE(Init());
    EXPECT_TRUE(m_log.Contains("the engine runs already", CONSOLE_ERROR));
    EXPECT_TRUE(gNorvexEngine.IsInitialised());
    // Every folder but the textures first, then the textures once the renderer runs.
    EXPECT_NE(gFileSystem.FindMountPoint("sounds"), nullptr);
    EXPECT_TRUE(ReadsFile("probe.txt", "textures"));
    EXPECT_EQ(gNorvexEngine.GetMountedContainers().Count(), 0);
    EXPECT_NE(gResourceManager, nullptr);
    EXPECT_NE(gRenderer, nullptr);
    // The project's own "Animation buffer KB" (128 by default), not the PC budget (1024).
    EXPECT_EQ(gFrameRingAllocator.GetSize(), gProjectConfig.m_animationBufferKB * 1024u);
    EXPECT_NE(gProjectConfig.m_animationBufferKB, gProjectConfig.GetAnimationBufferKB());
    EXPECT_NE(gLua.GetState(), nullptr);
    EXPECT_TRUE(steam::IsRunning());
    EXPECT_TRUE(gPhysicalFileReader.IsRunning());
    // A first start takes the project's languages.
    EXPECT_EQ(m_config.m_textLanguage, gProjectConfig.m_textLanguage);
    EXPECT_EQ(gStringManager->GetLoadCount(), 0u) << "a game reads only the compiled table, absent here";

    const Vector path[2] = {Vector(0, 0, 0, 1), Vector(1, 0, 0, 1)};
    gPathLineRenderer.SetPoints(2, path);
    m_log.Clear();
    gNorvexEngine.Close();
    EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "the shown path's buffer goes with the renderer";
    const std::vector<CapturedMessage> closing = m_log.Messages();
    EXPECT_TRUE(InOrder(closing, kCloseMessages, &missing)) << "missing or out of order: " << missing;
    EXPECT_FALSE(gNorvexEngine.IsInitialised());
    EXPECT_EQ(gRenderer, nullptr);
    EXPECT_EQ(gResourceManager, nullptr);
    EXPECT_EQ(gLua.GetState(), nullptr);
    EXPECT_FALSE(steam::IsRunning());
    EXPECT_FALSE(gPhysicalFileReader.IsRunning()) << "the container reader thread stops with the engine";
    EXPECT_EQ(gFileSystem.FindMountPoint("common"), nullptr);
    EXPECT_EQ(gFileSystem.FindMountPoint("locals"), nullptr);
    EXPECT_EQ(gFrameRingAllocator.GetSize(), 0u);
}

// The scene, template, sound-entry and video services start after what they stand on and close
// in the order that keeps each one's users alive: an entity still holding its template when the
// engine closes dies before the template does (ASan would see the template freed under it).
TEST_F(NorvexEngineTest, SceneTemplateSoundAndVideoServicesStartAndCloseInOrder)
{
    ASSERT_TRUE(MakeDataRoot(false, {"--text", "templates/Units/Tank.template=" +
                                                   TemplateWriter::MakeStubText(TankGUID(), 0)}));
    ASSERT_EQ(RunDatakit({"binary-template", DataPath() + "/templates/Units/Tank.BinaryTemplate",
                          kTankGUIDText, "0", "--lua-class", "Tank"}),
              0);
    ASSERT_TRUE(Init());
    for (const char* service : {"TemplateManager", "EntityManager", "VideoEngine", "SoundEntriesContainer"})
        EXPECT_LT(Find(m_log.Messages(), std::string(service) + " is not built yet"), 0) << service;
    EXPECT_FALSE(m_log.Contains("Video shaders", CONSOLE_ERROR));

    // Templates come from the scanned folder, the scene spans the project's world.
    ASSERT_TRUE(gTemplateManager.IsInitialised());
    EXPECT_NE(gTemplateManager.FindStubByGUID(TankGUID()), nullptr);
    ASSERT_TRUE(gEntityManager.IsInitialized());
    ASSERT_NE(gEntityManager.GetSceneRoot(), nullptr);
    const float range = gProjectConfig.m_worldRange;
    EXPECT_EQ(gEntityManager.GetSceneBounds().min.x, -range);
    EXPECT_EQ(gEntityManager.GetSceneBounds().min.y, -25.0f);
    EXPECT_EQ(gEntityManager.GetSceneBounds().max.z, range);
    EXPECT_EQ(gEntityManager.GetSceneBounds().max.y, 200.0f);
    EXPECT_EQ(gEntityManager.GetGridCellSize(), gProjectConfig.m_worldCell);

    // Video and sound exist once Lua runs; scripts see both.
    ASSERT_NE(gVideoEngine, nullptr);
    EXPECT_EQ(gVideoEngine, gNorvexEngine.GetVideoEngine());
    EXPECT_TRUE(gLua.LoadAndCall("assert(gVideoEngine ~= nil and not gVideoEngine:IsPlaying())", 0));
    EXPECT_TRUE(gLua.LoadAndCall("assert(gSoundEngine ~= nil)", 0));

    Entity* tank = gEntityManager.CreateEntity("units/TANK", nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(tank, nullptr);
    EXPECT_STREQ(tank->GetTemplate()->GetLuaClass(), "Tank");
    // A template made in memory is deleted with its stub: it must outlive the entity that uses it.
    EntityTemplateStub* stub = new EntityTemplateStub;
    stub->SetFileName("Probe");
    SimpleGUID probeGUID;
    ASSERT_TRUE(probeGUID.FromString("00000000-0000-0000-0000-00000000000B"));
    stub->SetGUID(probeGUID);
    ASSERT_TRUE(gTemplateManager.RegisterStub(stub));
    EntityTemplate* probe = new EntityTemplate;
    stub->SetTemplate(probe);
    ASSERT_NE(gEntityManager.CreateEntity(probe, tank, Matrix::ONE, 0, nullptr), nullptr);
    ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry("Click", SoundEntryParams()));

    gNorvexEngine.Close();
    EXPECT_EQ(gVideoEngine, nullptr);
    EXPECT_EQ(gSoundEngine, nullptr);
    EXPECT_EQ(gEntityManager.GetSceneRoot(), nullptr);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 0u);
    EXPECT_FALSE(gTemplateManager.IsInitialised());
    EXPECT_EQ(gTemplateManager.FindStubByGUID(TankGUID()), nullptr);
    EXPECT_EQ(gSoundEntriesContainer.GetEntryCount(), 0);

    // A second start scans the templates again.
    ASSERT_TRUE(Init());
    EXPECT_NE(gTemplateManager.FindStubByGUID(TankGUID()), nullptr);
    EXPECT_NE(gEntityManager.GetSceneRoot(), nullptr);
}

// The scene environment is created with the renderer's other sets and released at close; the
// template the project names for the UI scene parameters gives it its override set. A GUID that
// names no scene parameters template is reported and leaves the override unset.
TEST_F(NorvexEngineTest, SceneEnvironmentStartsWithTheUISceneParametersAsItsOverride)
{
    SimpleGUID uiGUID;
    ASSERT_TRUE(uiGUID.FromString("00000000-0000-0000-0000-00000000000C"));
    const std::string uiStub = TemplateWriter::MakeStubText(uiGUID, 9);
    const std::string tankStub = TemplateWriter::MakeStubText(TankGUID(), 0);
    ASSERT_TRUE(MakeDataRoot(false, {"--text", "templates/UI/Screen.template=" + uiStub, "--text",
                                     "templates/Units/Tank.template=" + tankStub}));
    ASSERT_EQ(RunDatakit({"data-template", DataPath() + "/templates/UI/Screen.BinaryTemplate",
                          "00000000-0000-0000-0000-00000000000C", "SceneParametersTemplate", "--set",
                          "Fog start = 123", "--set", "Image saturation = 0.25"}),
              0);
    ASSERT_EQ(RunDatakit({"binary-template", DataPath() + "/templates/Units/Tank.BinaryTemplate",
                          kTankGUIDText, "0"}),
              0);
    const auto nameInProject = [this](const SimpleGUID& guid) {
        ProjectConfig project;
        project.m_uiSceneParamTemplate = guid;
        return DataRoot::WriteConfigRecord(project, DataPath() + "/common/Project.ConfigBin");
    };
    ASSERT_TRUE(nameInProject(uiGUID));

    ASSERT_TRUE(Init());
    EXPECT_TRUE(gSceneEnvironment.IsCreated());
    gRenderer->SubmitCommands(true);
    ASSERT_TRUE(gSceneEnvironment.HasSets());
    // The UI screens put the override in force around their drawing; start-up only fills it.
    EXPECT_FALSE(gSceneEnvironment.IsOverrideInForce());
    EXPECT_FLOAT_EQ(gSceneEnvironment.GetOverrideSet()->GetShading().fogStart, 123.0f);
    EXPECT_FLOAT_EQ(gSceneEnvironment.GetOverrideSet()->GetShading().saturation, 0.25f);
    EXPECT_EQ(WarningsButLateMix(), std::vector<std::string>());
    gNorvexEngine.Close();
    EXPECT_FALSE(gSceneEnvironment.IsCreated());
    EXPECT_FALSE(gSceneEnvironment.HasSets());

    ASSERT_TRUE(nameInProject(TankGUID()));
    m_log.Clear();
    ASSERT_TRUE(Init());
    gRenderer->SubmitCommands(true);
    ASSERT_TRUE(gSceneEnvironment.HasSets());
    EXPECT_FLOAT_EQ(gSceneEnvironment.GetOverrideSet()->GetShading().fogStart, 0.0f) << "the defaults";
    EXPECT_TRUE(m_log.Contains("The UI scene param template " + std::string(kTankGUIDText), CONSOLE_WARNING));
}

TEST_F(NorvexEngineTest, StartsOverContainersWithTheTexturesFromTextures_s3)
{
    ASSERT_TRUE(MakeDataRoot(true, {"--text", "textures/probe.txt=t", "--text", "scenes/s.txt=s"}));
    ASSERT_TRUE(std::filesystem::exists(DataPath() + "/textures-s3.dat"));
    // A relative root hangs off the program's folder, wherever the game was started from.
    const std::filesystem::path root = std::filesystem::weakly_canonical(DataPath());
    m_config.m_repositoryPath =
        std::filesystem::relative(root, std::filesystem::read_symlink("/proc/self/exe").parent_path());
    ASSERT_TRUE(Init());
    EXPECT_TRUE(m_log.Contains("Mounting container " + root.string() + "/common.dat at common"));
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(), kStartupMessages, &missing)) << "missing or out of order: " << missing;
    EXPECT_TRUE(ReadsFile("probe.txt", "textures"));
    EXPECT_TRUE(ReadsFile("s.txt", "scenes"));
    const Dynarray<NorvexEngine::MountedContainer>& containers = gNorvexEngine.GetMountedContainers();
    ASSERT_EQ(containers.Count(), 8);
    for (int32_t i = 0; i < 7; ++i)
        EXPECT_EQ(containers[i].nameIndex, uint32_t(i));
    EXPECT_EQ(containers[7].bit, 7u);
    EXPECT_EQ(containers[7].nameIndex, 10u);
    EXPECT_EQ(containers[7].group, -1);
    gNorvexEngine.Close();
    EXPECT_EQ(gFileSystem.FindMountPoint("textures"), nullptr);
    EXPECT_EQ(gNorvexEngine.GetMountedContainers().Count(), 0);
}

TEST_F(NorvexEngineTest, ASecondStartKeepsTheSavedLanguages)
{
    ASSERT_TRUE(MakeDataRoot(false));
    ASSERT_TRUE(Init());
    const uint32_t chosen = gProjectConfig.m_textLanguage == 0 ? 1 : 0;
    m_config.m_textLanguage = chosen;
    ASSERT_TRUE(gNorvexEngine.SaveConfig());
    gNorvexEngine.Close();
    ASSERT_TRUE(Init());
    EXPECT_EQ(m_config.m_textLanguage, chosen);
    EXPECT_NE(m_config.m_textLanguage, gProjectConfig.m_textLanguage);
    EXPECT_EQ(gStringManager->GetCurrentLanguage(), chosen) << "the strings follow the user's choice";
}

struct StartupFailure
{
    const char* name;
    const char* reason;
    // A part of the reason the engine keeps for the program's last line, where one is asked.
    const char* kept = "";
};

class NorvexEngineFailureTest : public EngineStartupFixture, public ::testing::WithParamInterface<StartupFailure>
{
};

// Each must-succeed step that fails leaves one complete close and nothing open; a second Close (as
// the platform layer makes) is harmless.
TEST_P(NorvexEngineFailureTest, FailedStepClosesEverythingOnce)
{
    const std::string name = GetParam().name;
    ASSERT_TRUE(MakeDataRoot(name == "container"));
    steam::TestSettings settings;
    settings.initFails = name == "steam";
    settings.noRemoteStorage = name == "remote-storage";
    settings.noUser = name == "user";
    settings.noUserStats = name == "user-stats";
    settings.noClient = name == "client";
    steam::SetTestSettings(settings);
    if (name == "mount")
        std::filesystem::remove_all(DataPath() + "/sounds");
    else if (name == "container")
        std::filesystem::remove(DataPath() + "/sounds.dat");
    else if (name == "project")
        std::filesystem::remove(DataPath() + "/common/Project.ConfigBin");
    else if (name == "renderer")
        gpu::Faults().FailDeviceCreation(2);
    else if (name == "shaders")
        std::filesystem::remove(DataPath() + "/common/Shaders/Shaders.DefBin");
    else if (name == "no-root")
        m_config.m_repositoryPath.clear();
    m_config.m_consoleHistory.Add("print(1)");

    EXPECT_FALSE(Init());
    const std::vector<CapturedMessage> messages = m_log.Messages();
    EXPECT_GE(Find(messages, GetParam().reason), 0) << GetParam().reason;
    EXPECT_NE(std::string(gNorvexEngine.GetStartupFailure()).find(GetParam().kept), std::string::npos)
        << gNorvexEngine.GetStartupFailure();
    EXPECT_FALSE(m_log.Contains("//")) << "paths are joined with one '/'";
    EXPECT_LT(Find(messages, "Engine successfully initialized"), 0);
    EXPECT_EQ(Count(messages, "NorvexEngine closing..."), 1u);
    EXPECT_EQ(Count(messages, "NorvexEngine closed"), 1u);
    EXPECT_FALSE(gNorvexEngine.IsInitialised());
    EXPECT_EQ(gRenderer, nullptr);
    EXPECT_EQ(gResourceManager, nullptr);
    EXPECT_FALSE(steam::IsRunning());
    EXPECT_EQ(gFileSystem.FindMountPoint("common"), nullptr);
    EXPECT_EQ(m_config.m_consoleHistory.GetCount(), 0);

    gNorvexEngine.Close();
    EXPECT_EQ(Count(m_log.Messages(), "NorvexEngine closed"), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, NorvexEngineFailureTest,
    ::testing::Values(StartupFailure{"steam", "SteamAPI_Init failed. Check if Steam client is running.", "client"},
                      StartupFailure{"remote-storage", "SteamRemoteStorage failed"},
                      StartupFailure{"user", "SteamUser failed"},
                      StartupFailure{"user-stats", "SteamUserStats failed"},
                      StartupFailure{"client", "SteamClient failed"},
                      StartupFailure{"mount", "Mounted (ok:0)", "mounted from /"},
                      StartupFailure{"container", "Mounted (ok:0)"},
                      StartupFailure{"no-root", "The data is read from the program's folder: no user config",
                                     "/config.bin; NORVEX_APPDATA sets the user folder, scripts/run-demo sets up"},
                      StartupFailure{"project", "Unable to open Project.ConfigBin"},
                      StartupFailure{"renderer", "Start-up failed: the renderer could not be started"},
                      StartupFailure{"shaders", "Start-up failed: the shader manager could not be started"}),
    [](const ::testing::TestParamInfo<StartupFailure>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

TEST_F(NorvexEngineTest, EmptyProjectNameFailsBeforeStartingAnything)
{
    EXPECT_FALSE(gNorvexEngine.Init(&m_window, "", "Game.Config", &m_config, true));
    EXPECT_FALSE(gNorvexEngine.Init(&m_window, nullptr, "Game.Config", &m_config, true));
    EXPECT_FALSE(steam::IsRunning());
    EXPECT_FALSE(gNorvexEngine.IsInitialised());
    EXPECT_TRUE(m_log.Contains("no project name", CONSOLE_ERROR));
}

TEST_F(NorvexEngineTest, UpdateRunsItsStepsInOrderEndingWithTheCallbacks)
{
    ASSERT_TRUE(MakeDataRoot(false));
    ASSERT_TRUE(Init());
    gGlobalScriptScheduler.AddCall(nullptr, "gUpdateRan = 1", 0, 0.0f, 0);
    const uint32_t generation = gFrameRingAllocator.GetGeneration();
    const uint32_t written = gRenderer->GetCommandsWritten();
    // A sequence without actions ends at the sequence system's first update.
    gSequenceSystem.Enable(true);
    auto* blank = new Sequence;
    blank->SetName("Blank");
    blank->GetTracks().Add(new SequenceTrack);
    ASSERT_TRUE(gSequenceSystem.AddSequence(blank));
    ASSERT_NE(gSequenceSystem.StartSequence("Blank", false, true), nullptr);
    bool sawEarlierSteps = false;
    steam::PostCallback([&] {
        gLua.LoadAndCall("gUpdateSeen = gUpdateRan", 0);
        sawEarlierSteps = gFrameRingAllocator.GetGeneration() == generation + 1 &&
                          gRenderer->GetCommandsWritten() == written + 1 &&
                          gSequenceSystem.GetActiveSequences().Count() == 0;
    });
    const uint32_t pumps = steam::GetRunCallbacksCount();
    FrameClock clockC;
    FrameClock clockD;
    gNorvexEngine.Update(clockC, clockD, false);
    EXPECT_TRUE(sawEarlierSteps);
    EXPECT_EQ(steam::GetRunCallbacksCount(), pumps + 1);
    ASSERT_TRUE(gLua.LoadAndCall("assert(gUpdateSeen == 1)", 0));

    const auto sleepStart = std::chrono::steady_clock::now();
    gNorvexEngine.Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - sleepStart, std::chrono::milliseconds(20));
    EXPECT_EQ(steam::GetRunCallbacksCount(), pumps + 2);
    gSequenceSystem.Enable(false);
}

TEST_F(NorvexEngineTest, CloseDeletesTheListedCameraControllers)
{
    ASSERT_TRUE(MakeDataRoot(false));
    ASSERT_TRUE(Init());
    int deleted = 0;
    new ListedController(deleted);
    new ListedController(deleted);
    EXPECT_EQ(gNorvexEngine.GetCameraControllerCount(), 2);
    gNorvexEngine.Close();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(gNorvexEngine.GetCameraControllerCount(), 0);
}

// The delegate hears first; then every live entity is asked, and only one whose context must change
// drops it before the reset and makes it again after.
TEST_F(NorvexEngineTest, DeviceResetNotificationsReachTheGameDelegateThenEveryEntity)
{
    RecordingDelegate delegate;
    gGame.Init(&delegate);
    gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(100, 50, 100, 1)), 10.0f);
    ProbeTemplate probes(delegate.calls);
    ProbeEntity* changing = static_cast<ProbeEntity*>(
        gEntityManager.CreateEntity(&probes, nullptr, Matrix::ONE, ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr));
    ProbeEntity* steady = static_cast<ProbeEntity*>(
        gEntityManager.CreateEntity(&probes, nullptr, Matrix::ONE, ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr));
    ASSERT_NE(changing, nullptr);
    ASSERT_NE(steady, nullptr);
    changing->m_tag = "a";
    changing->m_needsChange = true;
    steady->m_tag = "b";
    delegate.calls.clear();

    gNorvexEngine.NotifyBeforeDeviceReset();
    EXPECT_EQ(delegate.calls, "before;ask a;ask b;");
    delegate.calls.clear();
    gNorvexEngine.NotifyAfterDeviceReset();
    EXPECT_EQ(delegate.calls, "after;ask a;create a;ask b;");
    gEntityManager.DestroyScene();
    gGame.Close();
}

TEST_F(NorvexEngineTest, SteamWarningsReachTheLogThroughTheHook)
{
    ASSERT_TRUE(MakeDataRoot(false));
    ASSERT_TRUE(Init());
    ASSERT_NE(steam::GetClient(), nullptr);
    steam::GetClient()->ReportWarning(1, "low disk");
    EXPECT_TRUE(m_log.Contains("severity: 1    low disk", CONSOLE_INFO));
}
