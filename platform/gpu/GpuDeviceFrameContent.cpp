// Which pixel operations (draws, clears, copies) a device does when it rasterises only the frames
// written as images (RasterMode::WrittenFrames). Without an image folder no frame is written and
// nothing is done; set the folder before the first frame. Render targets whose pixels live within
// a frame (the scene's buffers, the post-processing chain, the back buffer) are drawn in written
// frames only. Targets whose pixels outlive the frame that drew them (a lighting cube drawn when
// its lights change and read by every later frame) must be drawn whenever they are drawn: the
// device learns them as the resources a frame reads before writing, and draws every resource in
// the first frame that writes it, when nothing is known of it yet. A read of pixels whose last
// write was skipped is counted and logged once per resource, so a target these rules miss (one
// redrawn in every frame for a while, then read by later frames) shows instead of going unseen.
#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/GpuLog.h"

#include <utility>

namespace gpu
{
// Texture levels and faces keep their bookkeeping in their texture, which is what samplers read.
GpuResource* GpuDevice::ContentOwner(GpuSurface* surface)
{
    GpuResource* container = surface->GetContainer();
    if (container && (container->GetKind() == ObjectKind::Texture || container->GetKind() == ObjectKind::CubeTexture))
        return container;
    return surface;
}

bool GpuDevice::TakePixelWork(GpuResource* const* reads, uint32_t readCount, GpuResource* const* writes,
                              uint32_t writeCount)
{
    if (m_rasterMode == RasterMode::Always)
        return true;
    // Without a folder no frame is ever written, so nothing needs pixels.
    if (m_rasterMode == RasterMode::Never || m_frameImageFolder.empty())
    {
        ++m_frame.skippedPixelWork;
        return false;
    }
    const uint64_t frame = m_presents;
    for (uint32_t i = 0; i < readCount; ++i)
    {
        GpuResource::FrameContent& c = reads[i]->m_frameContent;
        if (c.accessFrame != frame && c.firstWriteFrame != GpuResource::FrameContent::kNoFrame)
            c.crossFrame = true;
        c.accessFrame = frame;
    }
    bool done = WritesThisFrame();
    for (uint32_t i = 0; i < writeCount && !done; ++i)
    {
        const GpuResource::FrameContent& c = writes[i]->m_frameContent;
        done = c.crossFrame || c.firstWriteFrame == GpuResource::FrameContent::kNoFrame ||
               c.firstWriteFrame == frame;
    }
    if (done)
        for (uint32_t i = 0; i < readCount; ++i)
        {
            GpuResource::FrameContent& c = reads[i]->m_frameContent;
            if (!c.stale)
                continue;
            ++m_frame.staleContentReads;
            if (!std::exchange(c.staleReported, true))
                LogWarning("the frame of present %llu reads %s #%llu, whose last drawing was in a frame that was not rasterised; "
                           "the frame shows its old pixels",
                           (unsigned long long)frame + 1, ObjectKindName(reads[i]->GetKind()),
                           (unsigned long long)reads[i]->GetId());
        }
    for (uint32_t i = 0; i < writeCount; ++i)
    {
        GpuResource::FrameContent& c = writes[i]->m_frameContent;
        if (c.firstWriteFrame == GpuResource::FrameContent::kNoFrame)
            c.firstWriteFrame = frame;
        c.accessFrame = frame;
        c.stale = !done;
    }
    if (!done)
        ++m_frame.skippedPixelWork;
    return done;
}

bool GpuDevice::TakeDrawWork()
{
    if (m_rasterMode != RasterMode::WrittenFrames || m_frameImageFolder.empty())
        return TakePixelWork(nullptr, 0, nullptr, 0);
    const uint32_t* rs = m_state.renderStates;
    GpuResource* reads[kSamplerCount + kRenderTargetCount + 1];
    GpuResource* writes[kRenderTargetCount + 1];
    uint32_t readCount = 0, writeCount = 0;
    if (m_state.pixelShader)
        for (uint32_t mask = m_state.pixelShader->SamplerMask(); mask != 0; mask &= mask - 1)
            if (GpuBaseTexture* texture = m_state.textures[__builtin_ctz(mask)])
                reads[readCount++] = texture;
    const bool blends = rs[kRsAlphaBlendEnable] != 0;
    if (rs[kRsColorWriteEnable] != 0)
        for (GpuSurface* target : m_state.renderTargets)
            if (target)
            {
                writes[writeCount++] = ContentOwner(target);
                if (blends)
                    reads[readCount++] = ContentOwner(target);
            }
    if (GpuSurface* depth = m_state.depthStencil)
    {
        const bool depthTest = rs[kRsZEnable] != 0;
        const bool stencil = rs[kRsStencilEnable] != 0;
        if ((depthTest && rs[kRsZFunc] != kCmpAlways) || stencil)
            reads[readCount++] = ContentOwner(depth);
        if ((depthTest && rs[kRsZWriteEnable] != 0) || stencil)
            writes[writeCount++] = ContentOwner(depth);
    }
    return TakePixelWork(reads, readCount, writes, writeCount);
}

bool GpuDevice::TakeCopyWork(GpuSurface* source, GpuSurface* dest)
{
    GpuResource* read = ContentOwner(source);
    GpuResource* written = ContentOwner(dest);
    return TakePixelWork(&read, 1, &written, 1);
}
} // namespace gpu
