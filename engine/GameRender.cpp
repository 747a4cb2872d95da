// Game::Render: one frame of render commands, written in sections that go to the render thread
// as they fill, the last one ending with the present. Main thread only; the device belongs to the
// render thread.
//
// The scene pass renders every visible entity but those flagged for a late pass: entities flagged
// ENTITYFLAG_DEFERRED_RENDER alone are drawn after the scene pass and before post-processing,
// those flagged ENTITYFLAG_POSTFSE alone after post-processing.
#include "engine/Game.h"

#include "audio/video/VideoEngine.h"
#include "engine/PendingGameServices.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/os/Clock.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRenderer.h"
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
constexpr uint32_t kOutlineFlag = 0x80000;
constexpr uint32_t kPassBit1Extra = 0x1000;
constexpr uint32_t kPassBit1Scene = 0x9000;
constexpr uint32_t kPassBit2Extra = 0x2000;
constexpr uint32_t kPreFSELatePass = 0x38000;
// Target, depth and stencil: the clear of a frame whose scene is not drawn.
constexpr uint32_t kClearAllBuffers = 7;

FrameClock ToFrameClock(const GameTimer& timer)
{
    FrameClock clock;
    clock.lastCounter = timer.GetTime();
    clock.accumulatedCounter = timer.GetTime();
    clock.lastStepSeconds = timer.GetLastStep();
    clock.stepCount = timer.GetTickCount();
    return clock;
}
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
                m_screenStack.Draw(m_screenWidth, m_screenHeight, ToFrameClock(m_smoothGameTimer),
                                   ToFrameClock(m_smoothGameplayTimer), m_inputManager->GetCursorPosition());
            renderer->RenderOutlines();
        }
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
    const uint32_t outlineFlag = m_outlineFirst ? kOutlineFlag : 0;
    const bool passBit1 = (m_renderPassFlags & 2) != 0;
    const bool passBit2 = (m_renderPassFlags & 4) != 0;

    VisibleEntityGatherOptions options;
    if (m_cameraController != nullptr)
    {
        options.frustumPlanes = m_cameraController->GetFrustumPlanes();
        options.frustumBox = m_cameraController->GetFrustumBox();
    }
    else
        options.frustumBox = gEntityManager.GetSceneBounds();
    EntityLayerMask mask;
    gEntityManager.GetLayerSystem().GetVisibleLayerMask(mask);
    options.layerMask = mask.bytes;
    options.excludedFlags = ENTITYFLAG_HIDDEN;
    gEntityManager.ClearVisibleLists();
    gEntityManager.GatherVisibleEntities(options);
    const Dynarray<Entity*>& visible = gEntityManager.GetVisibleList();

    const uint32_t hookFlags = outlineFlag | (passBit1 ? kPassBit1Extra : 0) | (passBit2 ? kPassBit2Extra : 0);
    for (Entity* entity : visible)
        entity->RenderIfFlag8(hookFlags);
    if (!passBit1)
        PendingGameServices::SubmitFakeShadows();
    SubmitCamera();

    const uint32_t sceneFlags = outlineFlag | (passBit1 ? kPassBit1Scene : 0) | (passBit2 ? kPassBit2Extra : 0);
    if (m_delegate != nullptr)
        m_delegate->OnBeforeSceneRender(sceneFlags, outlineFlag);
    Dynarray<Entity*>& late = gEntityManager.GetDeferredRenderList();
    late.Clear();
    renderer->BeginGather();
    for (Entity* entity : visible)
    {
        if ((entity->GetFlags() & kLateFlagMask) != 0)
            late.Add(entity);
        else
            entity->Render(sceneFlags, m_updateCount);
    }
    renderer->RenderGathered(sceneFlags, 0, nullptr);
    gProfiler.AddValue(PROFILER_VISIBLE_ENTITIES, float(visible.Count()), kMain);
    renderer->SubmitFrameSection(kFramesAhead);
    if (m_delegate != nullptr)
    {
        m_delegate->OnAfterSceneRender(sceneFlags, outlineFlag);
        m_delegate->OnPostRender();
    }
    SubmitCamera();

    RenderLateEntities(kLatePreFSE, kPreFSELatePass);
    if (UIScreen* const screen = m_preFSEScreen.Get())
        screen->Draw(m_screenWidth, m_screenHeight, ToFrameClock(m_smoothGameTimer),
                     ToFrameClock(m_smoothGameplayTimer), m_inputManager->GetCursorPosition());
    renderer->SetPassMask(m_outlineMask);
    uint8_t block[OutlineParams::kRenderBlockBytes];
    m_outlineParams.WriteRenderBlock(block);
    renderer->SetOutlineParams(block);
    renderer->PostProcess(m_postProcessFlags | (m_outlineSecond ? 4u : 0u) | (m_outlineFirst ? 1u : 0u));
    SubmitCamera();
    RenderLateEntities(kLatePostFSE, kPreFSELatePass);

    if (m_delegate != nullptr)
        m_delegate->OnOverlay();
    renderer->BeginFrame();
    gEntityManager.ClearVisibleLists();
    PendingGameServices::DrawPathLines();
}

void Game::SubmitCamera()
{
    if (m_cameraController != nullptr)
        m_cameraController->SubmitToRenderer(false);
}

void Game::RenderLateEntities(uint32_t lateKind, uint32_t passFlags)
{
    const Dynarray<Entity*>& late = gEntityManager.GetDeferredRenderList();
    bool any = false;
    for (const Entity* entity : late)
        any = any || (entity->GetFlags() & kLateFlagMask) == lateKind;
    if (!any)
        return;
    gRenderer->BeginGather();
    for (Entity* entity : late)
        if ((entity->GetFlags() & kLateFlagMask) == lateKind)
            entity->Render(0, m_updateCount);
    gRenderer->RenderGathered(passFlags, 0, nullptr);
}
