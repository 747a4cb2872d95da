// ctest-labels: thread
// Game::Render over the whole engine: the commands one frame writes, read back as the opcodes
// the stream took, and the answer on a lost device.
#include "audio/video/VideoEngine.h"
#include "ui/screens/UIGameConsoleScreen.h"
#include "engine/config/GameConfig.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "platform/os/Clock.h"
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderCommands.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "support/ConsoleCapture.h"
#include "support/GameEngineFixture.h"

#include <algorithm>
#include <vector>

namespace
{
// An entity kind with a second draw that records the flags it was called with.
class SecondDrawEntity : public Entity
{
public:
    void RenderSecondDraw(uint32_t flags) override { secondDraws.push_back(flags); }
    std::vector<uint32_t> secondDraws;
};

class SecondDrawTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new SecondDrawEntity; }
};

class GameRenderTest : public GameEngineFixture
{
protected:
    void SetUp() override
    {
        GameEngineFixture::SetUp();
        // The engine's own start-up may not run the entity manager yet; the gather needs its grid.
        if (!gEntityManager.IsInitialized())
            gEntityManager.Init(BoundingBox4(Vector(-100, -25, -100, 1), Vector(100, 200, 100, 1)), 40.0f);
        gEntityManager.NewScene();
    }
    void TearDown() override
    {
        gRenderer->GetWriter().SetOpcodeTrace(nullptr);
        GameEngineFixture::TearDown();
    }
    // The opcodes one frame wrote, without the profiler's calls (opcode 47).
    std::vector<uint32_t> RenderFrame(bool forced, bool* answer = nullptr)
    {
        std::vector<uint32_t> trace;
        gRenderer->GetWriter().SetOpcodeTrace(&trace);
        const bool presented = gGame.Render(forced);
        gRenderer->GetWriter().SetOpcodeTrace(nullptr);
        if (answer != nullptr)
            *answer = presented;
        trace.erase(std::remove(trace.begin(), trace.end(), uint32_t(RENDER_OP_CALL)), trace.end());
        return trace;
    }
    // In front of the game camera, which starts at the origin looking along +z.
    Entity* CreateEntity(uint32_t flags)
    {
        Matrix local = Matrix::ONE;
        local.rows[3].Set(0.0f, 0.0f, 100.0f, 1.0f);
        Entity* entity = gEntityManager.CreateEntity(&m_template, nullptr, local, 0, nullptr);
        if (entity != nullptr)
            entity->RaiseFlag(flags, false);
        return entity;
    }

    EntityTemplate m_template;
};

std::vector<uint32_t> Ops(std::initializer_list<RenderOpcode> ops)
{
    return std::vector<uint32_t>(ops.begin(), ops.end());
}
} // namespace

TEST_F(GameRenderTest, AFrameWritesTheScenePassesUIAndPresentInOrder)
{
    gConsole.Print("logged before the frame");
    bool presented = false;
    const std::vector<uint32_t> ops = RenderFrame(false, &presented);
    EXPECT_TRUE(presented);
    // Layers, target, the camera's shake value, viewport and camera; the shadow map's pass options;
    // the camera again after the per-entity hooks; the scene pass; the camera after the scene hooks;
    // post-processing; the camera again; the UI outlines; the console screen's camera and the scene
    // camera it gives back; the profiler's camera; the camera for the present.
    EXPECT_EQ(ops, Ops({RENDER_OP_SET_FRAME_BOX, RENDER_OP_SET_FRAME_TARGET, RENDER_OP_SET_FIELD_OF_VIEW,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_SET_SCENE_PASS_OPTIONS,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_BEGIN_GATHER, RENDER_OP_RENDER_GATHERED, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_PASS_MASK, RENDER_OP_SET_OUTLINE_PARAMS, RENDER_OP_POST_PROCESS,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_BEGIN_FRAME, RENDER_OP_BEGIN_OUTLINES,
                        RENDER_OP_SET_DEPTH_STENCIL_ENABLED, RENDER_OP_RENDER_OUTLINES, RENDER_OP_SET_VIEWPORT,
                        RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_CAMERA, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_SET_VIEWPORT,
                        RENDER_OP_SET_CAMERA, RENDER_OP_UPSCALE_FINAL, RENDER_OP_PRESENT}));
    EXPECT_EQ(m_delegate.Count("OnBeforeSceneRender:0"), 1u);
    EXPECT_EQ(m_delegate.Count("OnAfterSceneRender:0"), 1u);
    EXPECT_GT(gRenderer->GetStatisticsFrameSeconds(), 0.0f) << "the frame statistics are taken every frame";
    ASSERT_NE(gGame.GetConsoleScreen(), nullptr);
    EXPECT_EQ(gGame.GetConsoleScreen()->GetDrawCount(), 1u) << "the console screen is drawn over the frame";
    EXPECT_EQ(gGame.GetConsoleScreen()->GetLine(0).GetText(), "logged before the frame") << "with the log's lines";
}

TEST_F(GameRenderTest, LateEntitiesGetTheirOwnPassesAroundPostProcessing)
{
    m_template.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    ASSERT_NE(CreateEntity(0), nullptr);
    ASSERT_NE(CreateEntity(0x80), nullptr);
    ASSERT_NE(CreateEntity(0x40), nullptr);
    ASSERT_NE(CreateEntity(0xC0), nullptr);
    const std::vector<uint32_t> ops = RenderFrame(false);
    // The pre-FSE pass right after the scene hooks' camera, the post-FSE pass after the camera
    // that follows post-processing.
    EXPECT_EQ(ops, Ops({RENDER_OP_SET_FRAME_BOX, RENDER_OP_SET_FRAME_TARGET, RENDER_OP_SET_FIELD_OF_VIEW,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_SET_SCENE_PASS_OPTIONS,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_BEGIN_GATHER, RENDER_OP_RENDER_GATHERED, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_BEGIN_GATHER, RENDER_OP_RENDER_GATHERED, RENDER_OP_SET_PASS_MASK,
                        RENDER_OP_SET_OUTLINE_PARAMS, RENDER_OP_POST_PROCESS, RENDER_OP_SET_VIEWPORT,
                        RENDER_OP_SET_CAMERA, RENDER_OP_BEGIN_GATHER, RENDER_OP_RENDER_GATHERED, RENDER_OP_BEGIN_FRAME,
                        RENDER_OP_BEGIN_OUTLINES, RENDER_OP_SET_DEPTH_STENCIL_ENABLED, RENDER_OP_RENDER_OUTLINES,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_CAMERA, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_UPSCALE_FINAL, RENDER_OP_PRESENT}));
    EXPECT_EQ(gEntityManager.GetVisibleList().Count(), 0) << "the lists are emptied after the frame";
    // Behind the camera, and beside it (inside the view's box, outside its planes): not gathered,
    // so no late pass.
    for (const Vector& place : {Vector(0.0f, 0.0f, -100.0f, 1.0f), Vector(90.0f, 0.0f, 12.0f, 1.0f)})
    {
        gEntityManager.NewScene();
        Matrix local = Matrix::ONE;
        local.rows[3] = place;
        Entity* hidden = gEntityManager.CreateEntity(&m_template, nullptr, local, 0, nullptr);
        ASSERT_NE(hidden, nullptr);
        hidden->RaiseFlag(0x80, false);
        const std::vector<uint32_t> culled = RenderFrame(false);
        EXPECT_EQ(std::count(culled.begin(), culled.end(), uint32_t(RENDER_OP_BEGIN_GATHER)), 1) << place.x;
    }
    gEntityManager.NewScene();
}

TEST_F(GameRenderTest, AScreenThatBlocksTheSceneLeavesOnlyTheUI)
{
    UIScreen* screen = new UIScreen;
    screen->SetVisible(true);
    screen->SetBlocksSceneRendering(true);
    gGame.AppendUIScreen(screen);
    const std::vector<uint32_t> ops = RenderFrame(false);
    // No layers; the camera clears all three buffers; the screen's own viewport and camera.
    EXPECT_EQ(ops, Ops({RENDER_OP_SET_FRAME_TARGET, RENDER_OP_SET_FIELD_OF_VIEW, RENDER_OP_SET_VIEWPORT,
                        RENDER_OP_SET_CAMERA, RENDER_OP_CLEAR, RENDER_OP_BEGIN_OUTLINES,
                        RENDER_OP_SET_DEPTH_STENCIL_ENABLED, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_CAMERA,
                        RENDER_OP_RENDER_OUTLINES, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA,
                        RENDER_OP_SET_CAMERA, RENDER_OP_SET_VIEWPORT,
                        RENDER_OP_SET_CAMERA, RENDER_OP_SET_VIEWPORT, RENDER_OP_SET_CAMERA, RENDER_OP_UPSCALE_FINAL,
                        RENDER_OP_PRESENT}));
    EXPECT_EQ(screen->GetDrawCount(), 1u);
    gGame.SetDrawUI(false);
    const std::vector<uint32_t> forced = RenderFrame(true);
    EXPECT_EQ(screen->GetDrawCount(), 1u) << "no UI while the game draws none";
    EXPECT_EQ(forced.front(), uint32_t(RENDER_OP_SET_FRAME_BOX)) << "a forced frame draws the scene";
    gGame.SetDrawUI(true);
}

TEST_F(GameRenderTest, ALoadingScreenFrameOnlySubmitsAndAPendingSwitchWritesNothing)
{
    UIScreen* screen = new UIScreen;
    gGame.SetLoadingUIScreen(screen, 0);
    gGame.ShowLoadingScreen();
    bool presented = false;
    EXPECT_TRUE(RenderFrame(false, &presented).empty());
    EXPECT_TRUE(presented);

    // Under the loading screen an open console takes neither characters nor keys: the key binds do.
    UIGameConsoleScreen* console = gGame.GetConsoleScreen();
    ASSERT_NE(console, nullptr);
    console->SetOpen(true);
    gGame.OnChar('a');
    EXPECT_EQ(console->GetInput().GetText(), "");
    ASSERT_GE(gGame.GetInputManager().GetInputEvents().Count(), 1);
    const Dynarray<InputManager::InputEvent>& events = gGame.GetInputManager().GetInputEvents();
    EXPECT_EQ(events[events.Count() - 1].value, uint32_t('a')) << "queued for the game instead";
    gGame.GetInputManager().ClearInputEvents();
    // 'A': an open console would not take it, so only the key binds can.
    gGameConfig.BindKey('A', "");
    EXPECT_TRUE(gGame.OnKeyDown('A')) << "a bound key is taken";
    gGameConfig.RemoveAllKeyBinds();
    console->SetOpen(false);
    EXPECT_EQ(console->GetDrawCount(), 0u) << "not drawn under the loading screen";
    gGame.TurnLoadingScreenOff();
    gGame.SwitchScene("Later", 0, Game::kNoVariation, nullptr);
    EXPECT_TRUE(RenderFrame(false, &presented).empty());
    EXPECT_TRUE(presented);
}

TEST_F(GameRenderTest, AnEmptyViewportGoesStraightToThePresent)
{
    gGame.SetSize(0, 240, true);
    const std::vector<uint32_t> ops = RenderFrame(false);
    gGame.SetSize(320, 240, true);
    EXPECT_EQ(ops, Ops({RENDER_OP_SET_FRAME_BOX, RENDER_OP_SET_FRAME_TARGET, RENDER_OP_SET_FIELD_OF_VIEW,
                        RENDER_OP_SET_CAMERA, RENDER_OP_SET_CAMERA, RENDER_OP_UPSCALE_FINAL, RENDER_OP_PRESENT}));
}

TEST_F(GameRenderTest, ALostDeviceMakesRenderAnswerFalse)
{
    gpu::Faults().LoseDeviceOnPresent(0, 0);
    bool presented = true;
    for (int frame = 0; frame < 10 && presented; ++frame)
    {
        RenderFrame(false, &presented);
        gRenderer->SubmitCommands(true);
    }
    EXPECT_FALSE(presented);
    m_delegate.calls.clear();
    gRenderer->ApplyDisplaySettings(&m_window, 0, 0, false, false);
    EXPECT_EQ(m_delegate.Count("OnBeforeRendererSetup"), 1u) << "the delegate hears of the new settings first";
    EXPECT_FALSE(gRenderer->IsDeviceResetPending());
    RenderFrame(false, &presented);
    EXPECT_TRUE(presented);
    // Without a renderer there is no device to make again. The frame is drained first: the render
    // thread reads gRenderer while it runs one.
    gRenderer->SubmitCommands(true);
    NorvexRenderer* const renderer = gRenderer;
    gRenderer = nullptr;
    EXPECT_TRUE(gGame.Render(false));
    gRenderer = renderer;
}

TEST_F(GameRenderTest, TheFramesSettingsReachTheRenderThread)
{
    gGame.SetOutlineMaskStr("beef");
    gGame.SetRenderPassFlags(6);
    RenderFrame(false);
    gRenderer->SubmitCommands(true);
    EXPECT_EQ(gRenderer->GetPassMask(), 0xBEEFu);
    EXPECT_EQ(gRenderer->GetFrameStamp(), 6u);
    // Pass bits 1 and 2: the scene pass adds 0x9000 and 0x2000.
    EXPECT_EQ(m_delegate.Count("OnBeforeSceneRender:" + std::to_string(0xB000)), 1u);
    // Post-processing on asks the scene pass for shadowed lighting; FXAA alone does not.
    gGame.SetRenderPassFlags(0);
    gGame.ToggleFXAA();
    RenderFrame(false);
    gGame.ToggleFSE();
    RenderFrame(false);
    EXPECT_EQ(m_delegate.Count("OnBeforeSceneRender:" + std::to_string(0x80000)), 1u) << "the shadowed scene pass";
    gGame.ToggleFSE();
    gGame.ToggleFXAA();
    RenderFrame(false);
    EXPECT_EQ(m_delegate.Count("OnBeforeSceneRender:" + std::to_string(0x80000)), 1u) << "switched off again";
    // The frame's update hands the render thread both smooth clocks.
    gGame.GetSmoothGameTimer().ResetTime(50000000);
    gGame.GetSmoothGameplayTimer().ResetTime(70000000);
    gGame.Update(true);
    gRenderer->SubmitCommands(true);
    EXPECT_NEAR(gRenderer->GetFrameClockSeconds(1), gGame.GetSmoothGameTimer().GetTime() / 1e7, 1e-3);
    EXPECT_NEAR(gRenderer->GetFrameClockSeconds(2), gGame.GetSmoothGameplayTimer().GetTime() / 1e7, 1e-3);
}

TEST_F(GameRenderTest, TheViewModeHidesEntitiesAndTheTacticalViewDrawsNoShadowMap)
{
    m_template.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    Entity* tactical = CreateEntity(0);
    Entity* notTactical = CreateEntity(0);
    ASSERT_TRUE(tactical && notTactical);
    tactical->SetVisibleInTacticalView(1);
    notTactical->SetVisibleInTacticalView(2);
    // The template is not visible in the extended tactical view: neither entity is there.
    struct Case
    {
        uint32_t viewMode;
        bool shadowSwitch;
        bool passOptions;
        bool tacticalDrawn;
        bool notTacticalDrawn;
    };
    const Case cases[] = {{0, true, true, true, true},
                          {2, true, false, true, false},
                          {4, true, true, false, false},
                          {0, false, false, true, true}};
    for (const Case& c : cases)
    {
        gGame.SetRenderPassFlags(c.viewMode);
        gGameConfig.m_rendererConfig.m_enableShadowMap = c.shadowSwitch;
        // A frame number no pass uses, so that a drawn entity shows by taking the game's.
        const uint32_t before = gGame.GetUpdateCounter() + 1000;
        tactical->Render(0, before);
        notTactical->Render(0, before);
        const std::vector<uint32_t> ops = RenderFrame(false);
        EXPECT_EQ(std::count(ops.begin(), ops.end(), uint32_t(RENDER_OP_SET_SCENE_PASS_OPTIONS)), c.passOptions ? 1 : 0)
            << "view mode " << c.viewMode;
        EXPECT_EQ(tactical->GetLastRenderedFrame() != before, c.tacticalDrawn) << "view mode " << c.viewMode;
        EXPECT_EQ(notTactical->GetLastRenderedFrame() != before, c.notTacticalDrawn) << "view mode " << c.viewMode;
    }
    gGame.SetRenderPassFlags(0);
    gGameConfig.m_rendererConfig.m_enableShadowMap = true;
}

TEST_F(GameRenderTest, AnEntityOnBothLatePassesIsSaidOnceAndDrawnByNeither)
{
#ifndef NORVEX_THREAD_CHECKS
    GTEST_SKIP() << "the note belongs to builds with thread checks";
#endif
    ConsoleCapture console;
    m_template.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    Entity* both = CreateEntity(0xC0);
    ASSERT_NE(both, nullptr);
    for (int frame = 0; frame < 2; ++frame)
    {
        const std::vector<uint32_t> ops = RenderFrame(false);
        EXPECT_EQ(std::count(ops.begin(), ops.end(), uint32_t(RENDER_OP_BEGIN_GATHER)), 1) << "no late pass draws it";
        size_t notes = 0;
        for (const CapturedMessage& message : console.Messages())
            notes += message.text.find("drawn by neither late pass") != std::string::npos;
        EXPECT_EQ(notes, 1u) << "said on the first frame and never again, frame " << frame;
    }
}

TEST_F(GameRenderTest, PassBitEightAsksEachDrawnEntityForItsSecondDraw)
{
    SecondDrawTemplate secondTemplate;
    secondTemplate.SetStaticBoundingBox(BoundingBox4(Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1)));
    Matrix local = Matrix::ONE;
    local.rows[3].Set(0.0f, 0.0f, 100.0f, 1.0f);
    auto* main = static_cast<SecondDrawEntity*>(gEntityManager.CreateEntity(&secondTemplate, nullptr, local, 0, nullptr));
    auto* late = static_cast<SecondDrawEntity*>(gEntityManager.CreateEntity(&secondTemplate, nullptr, local, 0, nullptr));
    ASSERT_TRUE(main && late);
    late->RaiseFlag(EntityManager::kLateAfterScene, false);
    struct Case
    {
        uint32_t passFlags;
        uint32_t viewModeBits;
        std::vector<uint32_t> mainDraws, lateDraws;
    };
    const uint32_t tacticalMain = main->GetRenderFlags() | 0x80008 | EntityManager::kPassTacticalScene;
    const Case cases[] = {
        {0x80000, 0, {}, {}},
        {0x80008, 0, {main->GetRenderFlags() | 0x80008}, {late->GetRenderFlags() | 0x80008}},
        {0x80008, EntityManager::kViewTactical, {tacticalMain}, {late->GetRenderFlags() | 0x80008}},
    };
    for (const Case& c : cases)
    {
        main->secondDraws.clear();
        late->secondDraws.clear();
        gEntityManager.CollectVisibleEntities(nullptr, gEntityManager.GetSceneBounds(), 0, 3);
        gEntityManager.RenderCollected(c.passFlags, c.viewModeBits, 0, nullptr, 1);
        EXPECT_EQ(main->secondDraws, c.mainDraws) << c.passFlags;
        EXPECT_TRUE(late->secondDraws.empty()) << "the late entity waits for its pass";
        gEntityManager.RenderLate(c.passFlags, EntityManager::kLateMask, EntityManager::kLateAfterScene, 1);
        EXPECT_EQ(late->secondDraws, c.lateDraws) << c.passFlags;
        gEntityManager.ClearVisibleLists();
    }
    gRenderer->SubmitCommands(true);
    gEntityManager.NewScene();
}

TEST_F(GameRenderTest, AFullScreenVideoHidesTheSceneAndIsUpdatedAfterEachPresent)
{
    ASSERT_TRUE(gVideoEngine->Play("missing", nullptr, true, false, 1.0f));
    const std::vector<uint32_t> ops = RenderFrame(false);
    EXPECT_EQ(ops.front(), uint32_t(RENDER_OP_SET_FRAME_TARGET)) << "no layers under the video";
    EXPECT_EQ(std::count(ops.begin(), ops.end(), uint32_t(RENDER_OP_CLEAR)), 2)
        << "the camera's clear and the one under the picture";
    // Each frame is drained: the render thread ends the player, and a busy one may lag the writer.
    for (int frame = 0; frame < 200 && gVideoEngine->IsPlaying(); ++frame)
    {
        RenderFrame(false);
        gRenderer->SubmitCommands(true);
    }
    EXPECT_FALSE(gVideoEngine->IsPlaying()) << "the updates after the presents ended the missing video";
}

TEST_F(GameRenderTest, ATickStageIsTimedOnItsProfilerChannel)
{
    m_delegate.tickDuration = os::kCounterFrequency / 100;
    gProfiler.EnableProfiler("TestF", true);
    gRenderer->SubmitCommands(true);
    os::EnableManualCounter(os::QueryCounter());
    int ticks = 0;
    for (int frame = 0; frame < 10 && ticks == 0; ++frame)
    {
        os::AdvanceManualCounter(os::kCounterFrequency / 10);
        gGame.Update(true);
        ticks = m_delegate.ticks;
    }
    RenderFrame(false);
    gRenderer->SubmitCommands(true);
    os::DisableManualCounter();
    gProfiler.EnableProfiler("TestF", false);
    ASSERT_GT(ticks, 0);
    EXPECT_NEAR(gProfiler.GetRawSample(PROFILER_TEST_F, 0), 10.0f * float(ticks), 1e-3f);
}
