// Game::Render: one frame of render commands, written in sections that go to the render thread
// as they fill, the last one ending with the present. Main thread only; the device belongs to the
// render thread.
//
// The scene pass renders every visible entity but those flagged for a late pass: entities flagged
// ENTITYFLAG_DEFERRED_RENDER alone are drawn after the scene pass and before post-processing,
// those flagged ENTITYFLAG_POSTFSE alone after post-processing (EntityManagerRenderLists.cpp).
#include "engine/Game.h"

#include "audio/video/VideoEngine.h"
#include "engine/config/GameConfig.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/os/Clock.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PathLineRenderer.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"

namespace
{
constexpr uint32_t kMain = 0;
constexpr uint32_t kLoadingSleepMs = 12;
// The game runs at most this many presents ahead of the render thread.
constexpr uint32_t kFramesAhead = 1;
constexpr uint8_t kTargetSceneBlocked = 4;
constexpr uint8_t kTargetScene = 2;
// The scene pass's bit that asks for lighting through the shadow map, set while post-processing is on.
constexpr uint32_t kOutlineFlag = 0x80000;
constexpr uint32_t kPassBit1Scene = EntityManager::kPassTacticalScene;
constexpr uint32_t kPassBit2Extra = EntityManager::kPassTacticalExtended;
const Vector kSceneBackground(0.0f, 0.0f, 0.0f, 1.0f);
// Target, depth and stencil: the clear of a frame whose scene is not drawn.
constexpr uint32_t kClearAllBuffers = 7;
} // namespace

bool Game::Render(bool forced)
{
    NorvexRenderer* const renderer = gRenderer != nullptr && gRenderer->IsStreamOpen() ? gRenderer : nullptr;
    if (renderer == nullptr)
        return true;
    if (renderer->IsLoadingScreenShown())
    {
        renderer->SubmitCommands(false);
        os::Sleep(kLoadingSleepMs);
        return !renderer->IsDeviceResetPending();
    }
    gProfiler.StartTimer(PROFILER_RENDER_FRAME, kMain);
    if (m_switchPending)
    {
        gProfiler.StopTimer(PROFILER_RENDER_FRAME, kMain);
        return true;
    }

    const bool videoPlaying = gVideoEngine != nullptr && gVideoEngine->IsPlaying() && gVideoEngine->IsFullScreen();
    const bool sceneVisible = !m_screenStack.IsSceneRenderingBlocked();
    if ((sceneVisible && !videoPlaying) || forced)
    {
        EntityLayerMask mask;
        gEntityManager.GetLayerSystem().GetVisibleLayerMask(mask);
        renderer->SetVisibleLayers(mask.bytes, m_renderPassFlags);
    }
    const bool sceneDrawn = (sceneVisible && !videoPlaying) || forced;
    const bool blocked = !sceneVisible && !videoPlaying && !forced;
    renderer->SetFrameTarget(nullptr, 1, blocked ? kTargetSceneBlocked : kTargetScene);

    bool cameraDraws = true;
    if (m_cameraController != nullptr)
    {
        m_cameraController->ApplyFieldOfView();
        m_cameraController->SetViewport(m_screenWidth, m_screenHeight);
        cameraDraws = m_cameraController->ApplyToRenderer(m_cameraMode != 0, sceneDrawn ? 0 : kClearAllBuffers);
    }

    // A camera with an empty viewport draws nothing: the frame goes straight to its present.
    if (cameraDraws)
    {
        if (videoPlaying)
            RenderVideoFrame();
        else
        {
            if (sceneVisible || forced)
                RenderScene(forced);
            else
                renderer->SubmitFrameSection(kFramesAhead);
            renderer->BeginOutlines();
            renderer->SetOutlineWriteFlag(1);
            if (m_drawUI)
                m_screenStack.Draw(m_screenWidth, m_screenHeight, FrameClock::Of(m_smoothGameTimer),
                                   FrameClock::Of(m_smoothGameplayTimer), m_inputManager->GetCursorPosition());
            renderer->RenderOutlines();
        }
        DrawConsoleScreen(FrameClock::Of(m_smoothGameTimer), FrameClock::Of(m_smoothGameplayTimer));
        renderer->UpdateFrameStatistics();
        gProfiler.Render(m_screenWidth, m_screenHeight);
    }

    if (m_cameraController != nullptr)
        m_cameraController->SubmitToRenderer(false);
    renderer->UpscaleFinal();
    const bool answer = renderer->Present(nullptr);
    if (gVideoEngine != nullptr && gVideoEngine->IsPlaying())
        gVideoEngine->Update();
    gProfiler.StopTimer(PROFILER_RENDER_FRAME, kMain);
    return answer;
}

void Game::RenderVideoFrame()
{
    NorvexRenderer* const renderer = gRenderer;
    renderer->BeginFrame();
    renderer->SetViewport(gpu::Viewport{0, 0, m_screenWidth, m_screenHeight, 0.0f, 1.0f});
    renderer->SetSRGBWrite(1);
    renderer->Clear(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    gVideoEngine->Draw();
    renderer->SubmitFrameSection(kFramesAhead);
}

void Game::RenderScene(bool)
{
    NorvexRenderer* const renderer = gRenderer;
    const uint32_t outlineFlag = m_fseSwitch ? kOutlineFlag : 0;
    const uint32_t viewMode = m_renderPassFlags;
    const RendererConfigContainer& settings = gGameConfig.m_rendererConfig;
    const uint8_t detailLevel = uint8_t(settings.m_gfxQualityLevel);

    if (m_cameraController != nullptr)
        gEntityManager.CollectVisibleEntities(m_cameraController->GetFrustumPlanes(),
                                              m_cameraController->GetFrustumBox(), viewMode, detailLevel);
    else
        gEntityManager.CollectVisibleEntities(nullptr, gEntityManager.GetSceneBounds(), viewMode, detailLevel);
    DispatchMouseClicks();
    gEntityManager.RenderFlag8Entities(outlineFlag, viewMode);
    // The tactical view draws no shadows, and neither does a configuration that turned them off.
    if ((viewMode & EntityManager::kViewTactical) == 0 && settings.m_enableShadowMap)
        renderer->SetScenePassOptions(outlineFlag, settings.m_displayShadowDebugInfo ? 1 : 0);
    if ((viewMode & EntityManager::kViewTactical) == 0)
        renderer->SubmitFakeShadows();
    SubmitCamera();

    const uint32_t sceneFlags = outlineFlag | ((viewMode & EntityManager::kViewTactical) != 0 ? kPassBit1Scene : 0) |
                                ((viewMode & EntityManager::kViewTacticalExtended) != 0 ? kPassBit2Extra : 0);
    if (m_delegate != nullptr)
        m_delegate->OnBeforeSceneRender(sceneFlags, outlineFlag);
    // The scene pass starts from a cleared frame: nothing of the last one shows through.
    gEntityManager.RenderCollected(outlineFlag, viewMode, 1, &kSceneBackground, m_updateCount);
    renderer->SubmitFrameSection(kFramesAhead);
    if (m_delegate != nullptr)
    {
        m_delegate->OnAfterSceneRender(sceneFlags, outlineFlag);
        m_delegate->OnPostRender();
    }
    SubmitCamera();

    gEntityManager.RenderLate(sceneFlags, EntityManager::kLateMask, EntityManager::kLateAfterScene, m_updateCount);
    if (UIScreen* const screen = m_preFSEScreen.Get())
        screen->Draw(m_screenWidth, m_screenHeight, FrameClock::Of(m_smoothGameTimer),
                     FrameClock::Of(m_smoothGameplayTimer), m_inputManager->GetCursorPosition());
    renderer->SetPassMask(m_outlineMask);
    uint8_t block[OutlineParams::kRenderBlockBytes];
    m_outlineParams.WriteRenderBlock(block);
    renderer->SetOutlineParams(block);
    renderer->PostProcess(m_extraFSEFlags | (m_fxaaSwitch ? 4u : 0u) | (m_fseSwitch ? 1u : 0u));
    SubmitCamera();
    gEntityManager.RenderLate(sceneFlags, EntityManager::kLateMask, EntityManager::kLateAfterPostProcess,
                              m_updateCount);

    if (m_delegate != nullptr)
        m_delegate->OnOverlay();
    renderer->BeginFrame();
    gEntityManager.ClearVisibleLists();
    gPathLineRenderer.Draw();
}

void Game::SubmitCamera()
{
    if (m_cameraController != nullptr)
        m_cameraController->SubmitToRenderer(false);
}
