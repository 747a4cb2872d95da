#include "renderer/ScreenBlur.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuSurface.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>
#include <atomic>

namespace
{
std::atomic<bool> gReported{false};
} // namespace

bool BlurScreenRect(NorvexRenderer& renderer, const Matrix& drawMatrix, const Vector& size, float, uint32_t,
                    TextureHolder** texture, Vector* uvSize, Vector* uvOrigin)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    const RenderTarget& copy = renderer.GetDeviceManager().GetRenderTargets().pingPong[0];
    if (device == nullptr || copy.GetSurface() == nullptr || copy.GetHolder() == nullptr)
        return false;
    gpu::GpuSurface* target = nullptr;
    if (device->GetRenderTarget(0, &target) != gpu::kOk || target == nullptr)
        return false;
    const bool copied = device->StretchRect(target, nullptr, copy.GetSurface(), nullptr, gpu::kFilterLinear) == gpu::kOk;
    target->Release();
    if (!copied)
        return false;
    if (!gReported.exchange(true, std::memory_order_relaxed))
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "BlurScreenRect: the blur chain is not built yet, areas are unblurred");
    Matrix toClip;
    toClip.Mul(renderer.GetViewProjection(), drawMatrix);
    float minU = 1.0f, minV = 1.0f, maxU = 0.0f, maxV = 0.0f;
    const float xs[4] = {0.0f, size.x, size.x, 0.0f};
    const float ys[4] = {0.0f, 0.0f, size.y, size.y};
    for (uint32_t i = 0; i < 4; ++i)
    {
        Vector corner(xs[i], ys[i], 0.0f, 1.0f);
        corner.Transform(toClip);
        const float w = corner.w != 0.0f ? corner.w : 1.0f;
        const float u = std::clamp((corner.x / w + 1.0f) * 0.5f, 0.0f, 1.0f);
        const float v = std::clamp((1.0f - corner.y / w) * 0.5f, 0.0f, 1.0f);
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
        minV = std::min(minV, v);
        maxV = std::max(maxV, v);
    }
    *texture = copy.GetHolder();
    uvOrigin->Set(minU, minV, 0.0f, 0.0f);
    uvSize->Set(maxU - minU, maxV - minV, 0.0f, 0.0f);
    return true;
}
