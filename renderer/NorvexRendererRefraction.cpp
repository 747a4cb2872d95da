// Render thread: the refraction copy, the screen region behind a refracting object copied from the
// scene colour into the refraction copy target before the object draws over it.
#include "renderer/NorvexRenderer.h"

#include "core/math/BoundingBox4.h"
#include "platform/gpu/GpuDevice.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

bool NorvexRenderer::ComputeRefractionRect(const BoundingBox4& box, const Matrix& world, const Matrix& viewProjection,
                                           uint32_t width, uint32_t height, gpu::Rect& rect)
{
    rect = {0, 0, int32_t(width), int32_t(height)};
    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    for (uint32_t corner = 0; corner < 8; ++corner)
    {
        Vector point((corner & 1) != 0 ? box.max.x : box.min.x, (corner & 2) != 0 ? box.max.y : box.min.y,
                     (corner & 4) != 0 ? box.max.z : box.min.z, 1.0f);
        point.Transform3D(world);
        point.w = 1.0f;
        point.Transform(viewProjection);
        // A corner behind the camera projects nowhere useful: the whole screen may lie behind it.
        if (!(point.w > 0.0f))
            return width != 0 && height != 0;
        minX = std::min(minX, point.x / point.w);
        maxX = std::max(maxX, point.x / point.w);
        minY = std::min(minY, point.y / point.w);
        maxY = std::max(maxY, point.y / point.w);
    }
    // A little wider than the box, in clip space, then onto the screen.
    minX = std::max(minX - 0.01f, -1.0f);
    minY = std::max(minY - 0.01f, -1.0f);
    maxX = std::min(maxX + 0.01f, 1.0f);
    maxY = std::min(maxY + 0.01f, 1.0f);
    rect.left = int32_t(std::floor((minX + 1.0f) * 0.5f * float(width)));
    rect.right = int32_t(std::ceil((maxX + 1.0f) * 0.5f * float(width)));
    rect.top = int32_t(std::floor((1.0f - maxY) * 0.5f * float(height)));
    rect.bottom = int32_t(std::ceil((1.0f - minY) * 0.5f * float(height)));
    return rect.right > rect.left && rect.bottom > rect.top;
}

void NorvexRenderer::UpdateRefraction(const BoundingBox4& box, const Matrix& world)
{
    gpu::GpuDevice* const device = GetDevice();
    const RenderTargetSet& targets = GetDeviceManager().GetRenderTargets();
    if (device == nullptr || targets.refractionCopy.GetSurface() == nullptr || targets.sceneColor.GetSurface() == nullptr)
        return;
    gpu::Rect rect;
    if (!ComputeRefractionRect(box, world, GetCamera().viewProjection, GetDeviceManager().GetRenderWidth(),
                               GetDeviceManager().GetRenderHeight(), rect))
        return;
    gpu::GpuSurface* const source = m_executor.IsResolvePending() && targets.multisampledColor != nullptr
                                        ? targets.multisampledColor
                                        : targets.sceneColor.GetSurface();
    device->StretchRect(source, &rect, targets.refractionCopy.GetSurface(), &rect, gpu::kFilterNone);
}
