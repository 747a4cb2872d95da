#include "renderer/AmbientCube.h"

#include "core/math/HDRColor.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/LightRenderData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/jobs/TextureHolder.h"

#include <cmath>

namespace
{
// The light table row of the cube's faces; its column is 1 for lights with a mask.
constexpr uint32_t kLightCubeRow = 3;
constexpr uint32_t kRegMaskMatrix = 10;
constexpr uint32_t kMaskSampler = 0;
constexpr uint32_t kAdditiveBlend = 2;
constexpr float kQuarter = 0.25f;

Vector Quarter(const Vector& color, bool linearLighting)
{
    Vector c = color;
    if (linearLighting)
    {
        c.x = std::pow(std::max(c.x, 0.0f), 2.2f);
        c.y = std::pow(std::max(c.y, 0.0f), 2.2f);
        c.z = std::pow(std::max(c.z, 0.0f), 2.2f);
    }
    return Vector(c.x * kQuarter, c.y * kQuarter, c.z * kQuarter, c.w * kQuarter);
}

Vector Cross3(const Vector& a, const Vector& b)
{
    return Vector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f);
}
} // namespace

const AmbientCube::FaceBasis AmbientCube::kFaces[6] = {
    {Vector(1, 0, 0, 0), Vector(0, 1, 0, 0)},  {Vector(-1, 0, 0, 0), Vector(0, 1, 0, 0)},
    {Vector(0, 1, 0, 0), Vector(0, 0, -1, 0)}, {Vector(0, -1, 0, 0), Vector(0, 0, 1, 0)},
    {Vector(0, 0, 1, 0), Vector(0, 1, 0, 0)},  {Vector(0, 0, -1, 0), Vector(0, 1, 0, 0)},
};

void AmbientCube::ComputeLightConstants(const LightRenderData& light, bool linearLighting,
                                        Vector constants[kLightConstantCount])
{
    Vector direction = light.GetTransform().rows[2];
    direction.w = 0.0f;
    const float length = direction.Length();
    constants[0] = length > 0.0f ? Vector(direction.x / length, direction.y / length, direction.z / length, 0.0f)
                                 : Vector();
    const uint8_t mode = light.GetTwoSidedMode();
    constants[1] = Quarter(light.GetColor(), linearLighting);
    constants[2] = mode == 0 ? Vector() : Quarter(light.GetSecondaryColor(), linearLighting);
    // Mode 2 starts the side term from the average of both sides; the side colour's alpha says how
    // far it moves towards the side colour.
    const Vector base = mode == 2 ? Vector((constants[1].x + constants[2].x) * 0.5f,
                                           (constants[1].y + constants[2].y) * 0.5f,
                                           (constants[1].z + constants[2].z) * 0.5f,
                                           (constants[1].w + constants[2].w) * 0.5f)
                                  : Vector();
    const Vector side = Quarter(light.GetSideColor(), linearLighting);
    const float t = light.GetSideColor().w;
    constants[3] = Vector(base.x + (side.x - base.x) * t, base.y + (side.y - base.y) * t,
                          base.z + (side.z - base.z) * t, base.w + (side.w - base.w) * t);
    constants[4] = Vector(light.GetWrapAround(), light.GetSpecular(), 0.0f, 0.0f);
}

Matrix AmbientCube::ComputeMaskMatrix(const Vector& rotationDegrees)
{
    Matrix rotation;
    rotation.LoadComplexTransformation(Vector(0.0f, 0.0f, 0.0f, 1.0f), rotationDegrees,
                                       Vector(1.0f, 1.0f, 1.0f, 1.0f));
    Matrix flip;
    flip.LoadScale(Vector(1.0f, -1.0f, 1.0f, 1.0f));
    Matrix result;
    result.Mul(rotation, flip);
    return result;
}

void NorvexRenderer::RenderAmbientCube(uint32_t lightMask)
{
    gpu::GpuDevice* const device = GetDevice();
    TextureHolder* const cube = GetDeviceManager().GetRenderTargets().lightingCube;
    if (device == nullptr || cube == nullptr || cube->GetTexture() == nullptr || !BindScreenQuad())
        return;
    auto* const texture = static_cast<gpu::GpuCubeTexture*>(cube->GetTexture());
    gpu::SurfaceDesc desc;
    if (texture->GetLevelDesc(0, &desc) != gpu::kOk)
        return;
    const uint32_t edge = desc.width;
    RenderStateCache& state = GetStateCache();
    state.SetBlendMode(kAdditiveBlend);
    state.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    state.SetCullMode(gpu::kCullNone);
    const bool linear = HDRColor::IsLinearLighting();
    for (uint32_t face = 0; face < 6; ++face)
    {
        gpu::GpuSurface* surface = nullptr;
        if (texture->GetCubeMapSurface(face, 0, &surface) != gpu::kOk)
            continue;
        device->SetRenderTarget(0, surface);
        device->SetViewport(gpu::Viewport{0, 0, edge, edge, 0.0f, 1.0f});
        device->Clear(0, nullptr, gpu::kClearTarget, 0, 1.0f, 0);
        const AmbientCube::FaceBasis& basis = AmbientCube::kFaces[face];
        const Vector faceConstants[3] = {basis.forward, basis.up, Cross3(basis.forward, basis.up)};
        for (const LightRenderData* light = gDirectionalAmbientLights.head; light != nullptr; light = light->GetNext())
        {
            if ((light->GetLightMask() & lightMask) != 0)
                continue;
            const bool masked = light->GetMask() != nullptr;
            const ShaderPair& pair = gShaderManager.GetLightShader(kLightCubeRow, masked ? ShaderManager::LIGHT_MASK : 0u);
            if (!pair.IsValid())
                continue;
            pair.Bind();
            SetTexture(kMaskSampler, light->GetMask(), 0);
            SetVertexShaderConstants(0, &faceConstants[0].x, 3);
            Vector constants[AmbientCube::kLightConstantCount];
            AmbientCube::ComputeLightConstants(*light, linear, constants);
            SetPixelShaderConstants(0, &constants[0].x, AmbientCube::kLightConstantCount);
            if (masked)
            {
                Matrix columns;
                columns.TransposeOf(AmbientCube::ComputeMaskMatrix(light->GetMaskRotation()));
                SetPixelShaderConstants(kRegMaskMatrix, &columns.rows[0].x, 4);
            }
            DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
        }
        gpu::SafeRelease(surface);
    }
    SetTexture(kMaskSampler, nullptr, 0);
    device->SetStreamSource(0, nullptr, 0, 0);
    state.SetBlendMode(0);
    gpu::GpuSurface* back = nullptr;
    if (device->GetBackBuffer(0, 0, &back) == gpu::kOk)
    {
        device->SetRenderTarget(0, back);
        gpu::SafeRelease(back);
    }
}
