// A light mask for pixel probes: an 8 x 8 texture whose left four columns are white and right four
// black, made on the render thread. Test thread only.
#pragma once

#include "platform/gpu/GpuTexture.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderThreadCall.h"

#include <cstring>

// Null when the texture cannot be made. The caller's reference goes with DropMask once nothing
// drawn uses the mask any more.
inline TextureHolder* MakeLeftHalfMask(NorvexRenderer& renderer)
{
    TextureHolder* mask = new TextureHolder;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        gpu::LockedRect locked{};
        if (!mask->Create(r.GetDevice(), 8, 8, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged) ||
            static_cast<gpu::GpuTexture*>(mask->GetTexture())->LockRect(0, &locked, nullptr, 0) != gpu::kOk)
            return;
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; ++x)
            {
                const uint32_t argb = x < 4 ? 0xFFFFFFFFu : 0xFF000000u;
                memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &argb, 4);
            }
        static_cast<gpu::GpuTexture*>(mask->GetTexture())->UnlockRect(0);
    });
    if (mask->GetTexture() == nullptr)
    {
        delete mask;
        return nullptr;
    }
    return mask;
}

inline void DropMask(NorvexRenderer& renderer, TextureHolder* mask)
{
    PostTextureDeletionJob(mask, false);
    renderer.SubmitCommands(true);
}
