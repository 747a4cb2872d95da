#include "ui/elements/UIVideo.h"

#include "audio/video/VideoEngine.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"

UIVideo::UIVideo()
{
    RaiseFlag(UIFLAG_DRAWPENDINGUIELEMENTSBEFORE);
}

void UIVideo::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector*)
{
    const VideoEngine* const video = gVideoEngine;
    if (video == nullptr || !video->IsFrameAvailable() || gRenderer == nullptr || gRenderer->GetDevice() == nullptr)
        return;
    NorvexRenderer& renderer = *gRenderer;
    for (uint32_t plane = 0; plane < VideoEngine::kPlaneCount; ++plane)
        renderer.SetTexture(kFirstStage + plane, video->GetPlaneTexture(plane), kSamplerPreset);
    uint32_t srgbWrite = 0;
    renderer.GetDevice()->GetRenderState(gpu::kRsSrgbWriteEnable, &srgbWrite);
    renderer.SetSRGBWriteState(false);
    const Vector uvSize(1.0f, 1.0f, 1.0f, 1.0f);
    const Vector uvOrigin(0.0f, 0.0f, 0.0f, 0.0f);
    const VideoCoordScale& chroma = video->GetChromaCoordScale();
    const Vector chromaScale(chroma.x, chroma.y, 0.0f, 0.0f);
    DrawScreenQuad(kVideoShaderIndex, matrix, color, mirrored, &uvSize, &uvOrigin, &chromaScale);
    renderer.SetSRGBWriteState(srgbWrite != 0);
}
