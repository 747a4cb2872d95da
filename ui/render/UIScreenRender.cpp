// The render side of a screen: the frame globals of commands 28 and of the in-game UI, the screen
// pass of command 29 and the candidate table it records. Render thread only.
#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/render/UIRenderFrame.h"
#include "ui/render/UIScissorStack.h"
#include "ui/render/UIStencilMask.h"
#include "ui/screens/UIScreen.h"

#include <algorithm>

void UIScreen::SetRenderMatrices(const Matrix& view, const Matrix& projection, const uint32_t viewportWords0[2],
                                 const uint32_t viewportWords1[2], float width, float height, float scaleX,
                                 float scaleY, const Vector& pointer)
{
    UIRenderFrame& frame = gUIFrame;
    frame.view = view;
    frame.projection = projection;
    frame.viewProjection.Mul(projection, view);
    std::copy(viewportWords0, viewportWords0 + 2, frame.viewportWords0);
    std::copy(viewportWords1, viewportWords1 + 2, frame.viewportWords1);
    frame.width = width;
    frame.height = height;
    frame.inverseWidth = width != 0.0f ? 1.0f / width : 0.0f;
    frame.inverseHeight = height != 0.0f ? 1.0f / height : 0.0f;
    frame.widthPerX = scaleX != 0.0f ? width / scaleX : 0.0f;
    frame.heightPerY = scaleY != 0.0f ? height / scaleY : 0.0f;
    frame.xPerWidth = scaleX * frame.inverseWidth;
    frame.yPerHeight = scaleY * frame.inverseHeight;
    frame.pointerScreen.Set((pointer.x - 0.5f) * 2.0f * scaleX, -(pointer.y - 0.5f) * 2.0f * scaleY, 0.0f, 0.0f);
    frame.pointerUI.Set(pointer.x * width, pointer.y * height, 0.0f, 0.0f);
    frame.pixelMarginX = scaleX != 0.0f ? (scaleX - 1.0f) / scaleX * width * 0.5f : 0.0f;
    frame.pixelMarginY = scaleY != 0.0f ? (scaleY - 1.0f) / scaleY * height * 0.5f : 0.0f;
    frame.alignMarginX = 1.0f - scaleX;
    frame.alignMarginY = scaleY - 1.0f;
    for (Matrix& alignment : frame.alignment)
        alignment = Matrix::ONE;
    frame.clipOffset.Set(0.0f, 0.0f, 0.0f, 0.0f);
}

void UIScreen::SetInGameRenderMatrices(float shiftX, float shiftY)
{
    UIRenderFrame& frame = gUIFrame;
    NorvexRenderer* const renderer = gRenderer;
    // The elements are placed in the scene: the scene camera is the UI camera.
    frame.view = renderer != nullptr ? renderer->GetCamera().view : Matrix::ONE;
    frame.projection = renderer != nullptr ? renderer->GetCamera().biasedThirdProjection : Matrix::ONE;
    frame.viewProjection.Mul(frame.projection, frame.view);
    frame.width = frame.height = frame.inverseWidth = frame.inverseHeight = 1.0f;
    frame.widthPerX = frame.heightPerY = frame.xPerWidth = frame.yPerHeight = 1.0f;
    frame.pointerScreen.Set(0.0f, 0.0f, 0.0f, 0.0f);
    frame.pointerUI.Set(0.0f, 0.0f, 0.0f, 0.0f);
    frame.pixelMarginX = frame.pixelMarginY = frame.alignMarginX = frame.alignMarginY = 0.0f;
    frame.alignment[UI_ALIGN_LEFT].LoadTranslation(-shiftX, 0.0f, 0.0f);
    frame.alignment[UI_ALIGN_RIGHT].LoadTranslation(shiftX, 0.0f, 0.0f);
    frame.alignment[UI_ALIGN_TOP].LoadTranslation(0.0f, -shiftY, 0.0f);
    frame.alignment[UI_ALIGN_BOTTOM].LoadTranslation(0.0f, shiftY, 0.0f);
    frame.clipOffset.Set(0.0f, 0.0f, 0.0f, 0.0f);
}

void UIScreen::RenderPass(bool clearStencil)
{
    NorvexRenderer* const renderer = gRenderer;
    const bool drawing = renderer != nullptr && renderer->GetDevice() != nullptr;
    CameraState saved;
    if (drawing)
    {
        saved = renderer->GetCamera();
        renderer->GetStateCache().UpdateCamera(gUIFrame.view, gUIFrame.projection, Matrix::ONE);
        renderer->SetDepthState(gpu::kCmpEqual, true, 0.0f);
        renderer->SetDepthState(gpu::kCmpAlways, false, 0.0f);
        // Depth and stencil are cleared only where there is a surface to hold them.
        gpu::GpuSurface* depthStencil = nullptr;
        renderer->GetDevice()->GetDepthStencilSurface(&depthStencil);
        const uint32_t clear = ((GetRenderFlags() & UIFLAG_CLEARZATSTART) != 0 ? gpu::kClearDepth : 0u) |
                               (clearStencil ? gpu::kClearStencil : 0u);
        if (clear != 0 && depthStencil != nullptr)
            renderer->ClearTargets(clear, Vector(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
        gpu::SafeRelease(depthStencil);
    }
    // One table is in flight at a time: the main thread must have taken the last one.
    m_recording = m_candidateHandOver.IsAllCompleted();
    if (m_recording)
        m_renderCandidateCount = 0;
    m_noCandidateCounter = 0;
    gUIFrame.currentScreen = this;
    RenderTree(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), false, nullptr, 0);
    gUIFrame.currentScreen = nullptr;
    if (m_recording)
    {
        m_candidateHandOver.IncrementIssued();
        m_recording = false;
    }
    FlushAllUIQuadBatches();
    if (drawing)
        renderer->GetStateCache().UpdateCamera(saved.view, saved.projection, saved.third);
}

void UIScreen::AddSelectionCandidate(const Vector corners[4], const UIElement& element)
{
    if (!m_recording)
        return;
    if (m_renderCandidateCount >= kMaxSelectionCandidates)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Too many UI selection candidates. Certain clicks might be ignored!");
        return;
    }
    UISelectionCandidate& candidate = m_renderCandidates[m_renderCandidateCount++];
    std::copy(corners, corners + 4, candidate.corners);
    candidate.id = element.GetId();
    candidate.renderFlags = element.GetRenderFlags();
}

void UIScreen::RestartSelectionCandidates()
{
    if (m_recording)
        m_renderCandidateCount = 0;
}
