#include "renderer/DeferredLighting.h"

#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/LightRenderData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kDegreesToRadians = 3.14159265358979f / 180.0f;
// The light table row of the full-screen pass; the volumes' rows are their light types.
constexpr uint32_t kFullScreenRow = 4;
// Pixel registers.
constexpr uint32_t kRegInverseProjection = 10;
constexpr uint32_t kRegFirstDirection = 14;
constexpr uint32_t kRegLightColors = 15;
constexpr uint32_t kRegSpecularColor = 18;
constexpr uint32_t kRegSecondDirection = 19;
constexpr uint32_t kRegAmbient = 20;
constexpr uint32_t kRegProjection = 21; // two registers: the texture's u and v rows
constexpr uint32_t kRegShadowMatrix = 25;
constexpr uint32_t kRegShadowParameters = 29;
constexpr uint32_t kRegVolumeColor = 10;
constexpr uint32_t kRegVolumeSpecular = 11;
constexpr uint32_t kRegVolumePosition = 12;
constexpr uint32_t kRegVolumeAttenuation = 13;
constexpr uint32_t kRegVolumeAxis = 14;
constexpr uint32_t kRegVolumeMaskProjection = 15;
// Samplers.
constexpr uint32_t kDeferredMaskSampler = 0;
constexpr uint32_t kAccumulationSampler = 2;
constexpr uint32_t kNormalDepthSampler = 5;
constexpr uint32_t kNormalsSampler = 6;
constexpr uint32_t kShadowSampler = 12;
constexpr uint32_t kDepthSampler = 10;
constexpr uint32_t kClampedPoint = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V | SAMPLER_POINT;
// The unit sphere's 16 segments lie inside the sphere: scaled out so its faces cover it.
constexpr float kSphereCover = 1.05f;

Vector Normalized3(Vector v)
{
    v.w = 0.0f;
    const float length = v.Length();
    return length > 0.0f ? Vector(v.x / length, v.y / length, v.z / length, 0.0f) : Vector();
}

Vector ToView(const Vector& direction, const Matrix& view)
{
    Vector v(direction.x, direction.y, direction.z, 0.0f);
    v.Transform(view);
    return Normalized3(v);
}

Vector WithLuminance(Vector color)
{
    color.w = DeferredLighting::Luminance(color);
    return color;
}

// Matrices go to the shaders one column per register, as mul(v, M) reads them.
void UploadMatrix(NorvexRenderer& renderer, uint32_t first, const Matrix& matrix)
{
    Matrix columns;
    columns.TransposeOf(matrix);
    renderer.SetPixelShaderConstants(first, &columns.rows[0].x, 4);
}

bool IsMobilePlatform()
{
    return gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPHONE ||
           gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPAD2;
}

void RenderFullScreenPass(NorvexRenderer& renderer, const SceneParametersWrapper& set, bool shadowsAllowed)
{
    const SceneSunParameters& scene = set.GetSun();
    const ShaderManager& shaders = gShaderManager;
    const DeviceParams& params = renderer.GetDeviceParams();
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    DeferredLighting::FullScreenInputs inputs;
    inputs.shadowsAllowed = shadowsAllowed;
    inputs.shadowSwitch = params.shadowMapEnabled != 0;
    inputs.shadowMapPresent = renderer.HasShadowMap();
    inputs.shadowValue = scene.shadowStrength;
    inputs.quality = params.qualityLevel;
    inputs.shadowFiltering = params.shadowMapFiltering != 0;
    // The scene's cloud texture is the texture its projection throws over the sun's light.
    inputs.projectedTexture = set.GetCloudTexture() != nullptr;
    const uint32_t options = DeferredLighting::FullScreenOptions(inputs);
    const ShaderPair& pair = shaders.GetLightShader(kFullScreenRow, options);
    // A missing pair skips only the quad: the volumes still add their light.
    if (!pair.IsValid() || !renderer.BindScreenQuad())
        return;
    pair.Bind();
    const Matrix& view = renderer.GetCamera().view;
    UploadMatrix(renderer, kRegInverseProjection, renderer.GetCamera().inverseProjection);
    renderer.SetTexture(kNormalDepthSampler, targets.GetNormals().GetHolder(), kClampedPoint);
    const Vector first = ToView(scene.lightDirection, view);
    const Vector second = ToView(scene.specularDirection, view);
    const Vector colors[3] = {scene.sunColor, scene.secondaryColor, scene.sideColor};
    const Vector specular = WithLuminance(scene.specularColor);
    // A quarter of the ambient colour, which keeps its own fourth component.
    const Vector ambient(0.25f * scene.sideColor.x, 0.25f * scene.sideColor.y, 0.25f * scene.sideColor.z,
                         scene.sideColor.w);
    renderer.SetPixelShaderConstants(kRegFirstDirection, &first.x, 1);
    renderer.SetPixelShaderConstants(kRegLightColors, &colors[0].x, 3);
    renderer.SetPixelShaderConstants(kRegSpecularColor, &specular.x, 1);
    renderer.SetPixelShaderConstants(kRegSecondDirection, &second.x, 1);
    renderer.SetPixelShaderConstants(kRegAmbient, &ambient.x, 1);
    if ((options & DeferredLighting::kOptionShadowed) != 0)
    {
        const float size = float(std::max(params.shadowMapSize, 1u));
        const Vector shadow(1.0f - scene.shadowStrength, params.filterKernelSize / size, size, 0.0f);
        renderer.SetPixelShaderConstants(kRegShadowParameters, &shadow.x, 1);
        renderer.SetTexture(kShadowSampler, targets.shadowMap.GetHolder(), kClampedPoint);
        // The shadow texture matrix takes view-space positions: the inverse view comes first.
        Matrix fromView;
        fromView.Mul(renderer.GetShadowTextureMatrix(), renderer.GetCamera().inverseView);
        UploadMatrix(renderer, kRegShadowMatrix, fromView);
    }
    if ((options & DeferredLighting::kOptionProjected) != 0)
    {
        // View-space positions through the inverse view into the world, then through the scene's
        // cloud texture matrix (its projection and drift); the texture repeats.
        renderer.SetTexture(kDeferredMaskSampler, set.GetCloudTexture(), 0);
        Matrix fromView, columns;
        fromView.Mul(gSceneEnvironment.GetCloudTextureMatrix(), renderer.GetCamera().inverseView);
        columns.TransposeOf(fromView);
        renderer.SetPixelShaderConstants(kRegProjection, &columns.rows[0].x, 2);
    }
    renderer.DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    if ((options & DeferredLighting::kOptionShadowed) != 0)
        renderer.SetTexture(kShadowSampler, nullptr, kClampedPoint);
    if ((options & DeferredLighting::kOptionProjected) != 0)
        renderer.SetTexture(kDeferredMaskSampler, nullptr, 0);
    renderer.GetDevice()->SetStreamSource(0, nullptr, 0, 0);
}

void RenderVolumes(NorvexRenderer& renderer, float desaturation, const std::vector<RendererLightWrapper*>& lights)
{
    const SharedGeometry& geometry = renderer.GetDeviceManager().GetSharedGeometry();
    gpu::GpuDevice* const device = renderer.GetDevice();
    const CameraState& camera = renderer.GetCamera();
    const Vector cameraPosition = camera.inverseView.rows[3];
    const uint32_t quality = renderer.GetDeviceParams().qualityLevel;
    renderer.SetBlendMode(2);
    device->SetFVF(gpu::kFvfXyz);
    for (const RendererLightWrapper* wrapper : lights)
    {
        const LightRenderData& light = wrapper->GetData();
        const uint32_t type = light.GetType();
        if (type > LightRenderData::TYPE_TUBE)
            continue;
        const DeferredLighting::VolumeColors colors =
            DeferredLighting::ComputeVolumeColors(light, quality, desaturation);
        const ShaderPair& pair = gShaderManager.GetLightShader(type, colors.options);
        const SharedGeometry::Buffers& mesh = geometry.Get(type == LightRenderData::TYPE_POINT ? SharedGeometry::MESH_SPHERE
                                                           : type == LightRenderData::TYPE_SPOT ? SharedGeometry::MESH_CONE
                                                                                                : SharedGeometry::MESH_CYLINDER);
        if (!pair.IsValid() || mesh.vertices == nullptr || mesh.triangles == nullptr)
            continue;
        pair.Bind();
        const Vector quarter(colors.color.x * 0.25f, colors.color.y * 0.25f, colors.color.z * 0.25f, 0.25f);
        Vector position = light.GetTransform().rows[3];
        position.w = 1.0f;
        position.Transform(camera.view);
        const float* attenuation = light.GetAttenuation();
        renderer.SetPixelShaderConstants(kRegVolumeColor, &quarter.x, 1);
        renderer.SetPixelShaderConstants(kRegVolumeSpecular, &colors.specular.x, 1);
        renderer.SetPixelShaderConstants(kRegVolumePosition, &position.x, 1);
        renderer.SetPixelShaderConstants(kRegVolumeAttenuation, attenuation, 1);
        renderer.SetTexture(kDeferredMaskSampler, colors.useMask ? light.GetMask() : nullptr, 0);
        const Matrix& transform = light.GetTransform();
        Matrix lightFromView;
        Matrix inverseLight;
        inverseLight.InverseOf(transform);
        lightFromView.Mul(inverseLight, camera.inverseView);
        if (type == LightRenderData::TYPE_SPOT)
        {
            const Vector axis = ToView(transform.rows[2], camera.view);
            renderer.SetPixelShaderConstants(kRegVolumeAxis, &axis.x, 1);
            if (colors.useMask)
            {
                Matrix mapped;
                mapped.Mul(DeferredLighting::SpotMaskProjection(light.GetSpotWidth()), lightFromView);
                UploadMatrix(renderer, kRegVolumeMaskProjection, mapped);
            }
        }
        else if (colors.useMask)
            UploadMatrix(renderer, kRegVolumeMaskProjection, lightFromView);
        const DeferredLighting::Volume volume = DeferredLighting::ComputeVolume(light);
        const bool swapped = light.IsMirrored() != camera.mirrored;
        const uint32_t normalCull = swapped ? gpu::kCullClockwise : gpu::kCullCounterClockwise;
        const uint32_t reversedCull = swapped ? gpu::kCullCounterClockwise : gpu::kCullClockwise;
        if (DeferredLighting::IsCameraInside(volume, cameraPosition))
        {
            renderer.SetDepthState(gpu::kCmpAlways, false, 0.0f);
            renderer.SetCullMode(reversedCull);
        }
        else
        {
            renderer.SetDepthState(gpu::kCmpLessEqual, false, 0.0f);
            renderer.SetCullMode(normalCull);
        }
        static_cast<const VertexShaderObject*>(pair.m_vertexObject)->SetModelMatrix(renderer, volume.model, true);
        device->SetStreamSource(0, mesh.vertices, 0, mesh.stride);
        device->SetIndices(mesh.triangles);
        renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, mesh.vertexCount, 0, mesh.triangleCount);
    }
    renderer.SetTexture(kDeferredMaskSampler, nullptr, 0);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
}
} // namespace

uint32_t DeferredLighting::FullScreenOptions(const FullScreenInputs& in)
{
    const bool shadowed = in.shadowsAllowed && in.shadowSwitch && in.shadowMapPresent && in.shadowValue > 0.0f;
    uint32_t options = 0;
    if (shadowed)
        options |= kOptionShadowed;
    if (in.projectedTexture && in.quality != 0)
        options |= kOptionProjected;
    if (in.quality < 2)
        options |= kOptionLowQuality;
    if (shadowed && in.shadowFiltering)
        options |= kOptionFiltered;
    return options;
}

float DeferredLighting::Luminance(const Vector& color)
{
    return 0.2126f * color.x + 0.7152f * color.y + 0.0722f * color.z;
}

DeferredLighting::VolumeColors DeferredLighting::ComputeVolumeColors(const LightRenderData& light, uint32_t quality,
                                                                     float desaturation)
{
    VolumeColors out;
    float share = 1.0f;
    if (light.GetMask() != nullptr)
    {
        if (quality < kMaskQuality)
            share = kUnmaskedShare;
        else
        {
            out.useMask = true;
            out.options |= kOptionMask;
        }
    }
    if (quality < 2)
        out.options |= kOptionLowQuality;
    const Vector& base = light.GetColor();
    Vector c(base.x * share, base.y * share, base.z * share, 0.0f);
    const float grey = Luminance(c);
    c = Vector(c.x + (grey - c.x) * desaturation, c.y + (grey - c.y) * desaturation, c.z + (grey - c.z) * desaturation,
               0.0f);
    out.color = c;
    const float s = light.GetSpecular();
    out.specular = WithLuminance(Vector(c.x * s, c.y * s, c.z * s, 0.0f));
    return out;
}

float DeferredLighting::DrawnSpotWidth(float widthDegrees)
{
    return widthDegrees < 90.0f && std::isfinite(std::tan(widthDegrees * kDegreesToRadians)) ? widthDegrees
                                                                                               : kWidestDrawnSpotDegrees;
}

float DeferredLighting::SpotConeRadius(float widthDegrees, float length)
{
    return std::tan(DrawnSpotWidth(widthDegrees) * kDegreesToRadians) * length;
}

Matrix DeferredLighting::SpotMaskProjection(float widthDegrees)
{
    Matrix projection, bias, mapped;
    projection.LoadPerspectiveFovLH(2.0f * DrawnSpotWidth(widthDegrees), 1.0f, 0.1f, 1.0f);
    bias.LoadScale(Vector(0.5f, -0.5f, 0.5f, 1.0f));
    // The light's axis meets the middle of the mask, as a mask is drawn around it.
    bias.rows[3].x = 0.5f;
    bias.rows[3].y = 0.5f;
    mapped.Mul(bias, projection);
    return mapped;
}

DeferredLighting::Volume DeferredLighting::ComputeVolume(const LightRenderData& light)
{
    const Matrix& t = light.GetTransform();
    const Vector x = Normalized3(t.rows[0]), y = Normalized3(t.rows[1]), z = Normalized3(t.rows[2]);
    Vector position = t.rows[3];
    position.w = 1.0f;
    Volume volume;
    volume.model = Matrix::ONE;
    volume.model.rows[3] = position;
    volume.centre = position;
    auto scaled = [](const Vector& axis, float s) { return Vector(axis.x * s, axis.y * s, axis.z * s, 0.0f); };
    switch (light.GetType())
    {
    case LightRenderData::TYPE_SPOT:
    {
        const float length = light.GetEndFalloff() * t.rows[2].Length();
        const float radius = SpotConeRadius(light.GetSpotWidth(), length);
        volume.model.rows[0] = scaled(x, radius);
        volume.model.rows[1] = scaled(y, radius);
        volume.model.rows[2] = scaled(z, length);
        volume.centre = Vector(position.x + z.x * length * 0.5f, position.y + z.y * length * 0.5f,
                               position.z + z.z * length * 0.5f, 1.0f);
        volume.radius = std::sqrt(length * length * 0.25f + radius * radius);
        break;
    }
    case LightRenderData::TYPE_TUBE:
    {
        // The unit cylinder's y runs along the tube (the light's x); its caps reach past the ends.
        const float radius = light.GetEndFalloff() * t.rows[0].Length();
        const float reach = light.GetTubeLength() * 0.5f + radius;
        volume.model.rows[0] = scaled(y, radius);
        volume.model.rows[1] = scaled(x, reach);
        volume.model.rows[2] = scaled(z, radius);
        volume.radius = std::sqrt(reach * reach + radius * radius);
        break;
    }
    default:
    {
        const float radius = light.GetEndFalloff() * t.rows[2].Length();
        volume.model.rows[0] = Vector(radius * kSphereCover, 0.0f, 0.0f, 0.0f);
        volume.model.rows[1] = Vector(0.0f, radius * kSphereCover, 0.0f, 0.0f);
        volume.model.rows[2] = Vector(0.0f, 0.0f, radius * kSphereCover, 0.0f);
        volume.radius = radius * kSphereCover;
        break;
    }
    }
    return volume;
}

bool DeferredLighting::IsCameraInside(const Volume& volume, const Vector& camera)
{
    const Vector d(camera.x - volume.centre.x, camera.y - volume.centre.y, camera.z - volume.centre.z, 0.0f);
    const float reach = volume.radius + kInsideMargin;
    return d.Length2() <= reach * reach;
}

void DeferredLighting::RenderLights(NorvexRenderer& renderer, const std::vector<RendererLightWrapper*>& lights,
                                    bool shadowsAllowed, bool secondTarget)
{
    if (IsMobilePlatform() || renderer.GetDevice() == nullptr)
        return;
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    const RenderTarget& accumulation = targets.GetLightAccumulation(secondTarget);
    if (accumulation.GetSurface() == nullptr)
        return;
    const SceneParametersWrapper& scene = GetActiveSceneParameters();
    // Stored with sRGB writes, read back through sRGB reads by "Compose"; cleared so that pixels the
    // quad leaves out add nothing old.
    renderer.SetRenderTargets(&accumulation, nullptr, 1);
    renderer.ClearTargets(gpu::kClearTarget, Vector(), 1.0f, 0);
    renderer.SetTexture(kNormalsSampler, targets.GetNormals().GetHolder(), kClampedPoint);
    renderer.SetCullMode(gpu::kCullNone);
    renderer.SetAlphaTest(0, 0);
    renderer.SetBlendMode(0);
    renderer.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    RenderFullScreenPass(renderer, scene, shadowsAllowed);
    RenderVolumes(renderer, scene.GetShading().battleModeDesaturation, lights);
    renderer.SetTexture(kAccumulationSampler, nullptr, 0);
    renderer.SetTexture(kNormalsSampler, nullptr, kClampedPoint);
    renderer.SetTexture(kNormalDepthSampler, nullptr, kClampedPoint);
}

bool DeferredLighting::RenderAmbientOcclusion(NorvexRenderer& renderer)
{
    if (IsMobilePlatform() || renderer.GetDevice() == nullptr ||
        renderer.GetDeviceParams().qualityLevel < kOcclusionQuality ||
        !(GetActiveSceneParameters().GetShading().ssaoIntensity > 0.0f))
        return false;
    renderer.SetCullMode(gpu::kCullNone);
    renderer.SetAlphaTest(0, 0);
    renderer.SetBlendMode(0);
    renderer.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    // The passes read the scene depth: it must not stay bound for writing while they do.
    renderer.GetDevice()->SetDepthStencilSurface(nullptr);
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    const bool occluded = gPostprocessManager.PrepareAmbientOcclusion(renderer, targets.GetNormals().GetHolder()) &&
                          gPostprocessManager.BlurAmbientOcclusion(renderer);
    renderer.SetTexture(0, nullptr, 0);
    renderer.SetTexture(kDepthSampler, nullptr, kClampedPoint);
    return occluded;
}
