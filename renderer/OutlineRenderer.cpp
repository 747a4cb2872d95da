#include "renderer/OutlineRenderer.h"

#include "core/math/HDRColor.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RenderTarget.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceManager.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

OutlineRenderer gOutlineRenderer;

namespace
{
const gpu::VertexElement kGridPosition[] = {
    {0, 0, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    gpu::kDeclEnd,
};
// Side bits of the stencil and the colour channel each side's mask takes: green, red, blue, alpha.
constexpr uint32_t kSideChannels[4] = {2, 1, 4, 8};
constexpr uint32_t kAllChannels = 15;
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kAdditiveBlend = 2;
constexpr uint32_t kMaskSamplerFlags = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V;
// Registers of the outline shaders.
constexpr uint32_t kScreenMappingRegister = 0; // vertex
constexpr uint32_t kKernelRegister = 1;        // dilate, pixel
constexpr uint32_t kSideColorRegister = 2;     // dilate, pixel, four of them
constexpr uint32_t kSoftnessRegister = 1;      // composite, pixel
// The block's layout: four colours of r, g, b, a bytes and a float multiplier, then two floats.
constexpr uint32_t kColorBytes = 8;
constexpr uint32_t kKernelSizeOffset = 4 * kColorBytes;
constexpr uint32_t kSoftnessOffset = kKernelSizeOffset + 4;
// Quality levels from this one draw the second composite pair.
constexpr uint32_t kSecondCompositeLevel = 2;

float ReadFloat(const uint8_t* bytes)
{
    float value = 0.0f;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

HDRColor ReadColor(const uint8_t* bytes)
{
    return HDRColor(bytes[0], bytes[1], bytes[2], bytes[3], ReadFloat(bytes + 4));
}

// Clip xy to texture coordinates with a half-texel offset: (0.5, -0.5, (1/W + 1) / 2, (1/H + 1) / 2).
Vector ScreenMapping(float width, float height)
{
    return Vector(0.5f, -0.5f, (1.0f / width + 1.0f) * 0.5f, (1.0f / height + 1.0f) * 0.5f);
}

uint32_t AlignUp(uint32_t bytes)
{
    return (bytes + OutlineRenderer::kRingAlignment - 1) & ~(OutlineRenderer::kRingAlignment - 1);
}
} // namespace

void OutlineRenderer::LoadShaders()
{
    m_generate.Load("OutlineMask", "", 0);
    m_dilate.Load("Dilate", "", 0);
    m_composite[0].Load("Outlines", "", 64);
    m_composite[1].Load("Outlines", "LOW_SPEC_MODE ", 64);
    if (gRenderer != nullptr)
        gRenderer->SubmitCommands(false);
    if (gResourceManager != nullptr)
        gResourceManager->Flush();
    for (ShaderPair* pair : {&m_generate, &m_dilate, &m_composite[0], &m_composite[1]})
        pair->Resolve();
}

void OutlineRenderer::ReleaseShaders()
{
    for (ShaderPair* pair : {&m_generate, &m_dilate, &m_composite[0], &m_composite[1]})
        pair->Release();
}

void OutlineRenderer::ClearTiles()
{
    m_tiles.fill(0);
    m_summary = 0;
    m_groups.fill(Group());
}

void OutlineRenderer::Reset()
{
    ClearTiles();
}

void OutlineRenderer::MarkContext(NorvexRenderer& renderer, const EntityRenderingContext& context, uint32_t bits)
{
    if (bits == 0 || !context.GetLocalBounds().IsValid3())
        return;
    const RenderDeviceManager& device = renderer.GetDeviceManager();
    MarkTiles(context.GetLocalBounds(), context.GetDrawMatrix(), bits, renderer.GetCamera().viewProjection,
              float(device.GetRenderWidth()), float(device.GetRenderHeight()));
}

void OutlineRenderer::MarkTiles(const BoundingBox4& box, const Matrix& world, uint32_t bits,
                                const Matrix& viewProjection, float width, float height)
{
    float x0 = -1.0f, y0 = -1.0f, x1 = 1.0f, y1 = 1.0f;
    bool behind = false;
    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    for (uint32_t corner = 0; corner < 8 && !behind; ++corner)
    {
        Vector clip((corner & 1) ? box.max.x : box.min.x, (corner & 2) ? box.max.y : box.min.y,
                    (corner & 4) ? box.max.z : box.min.z, 1.0f);
        clip.Transform3D(world);
        clip.Transform(viewProjection);
        if (clip.w <= FLT_MIN)
        {
            behind = true;
            break;
        }
        minX = std::min(minX, clip.x / clip.w);
        maxX = std::max(maxX, clip.x / clip.w);
        minY = std::min(minY, clip.y / clip.w);
        maxY = std::max(maxY, clip.y / clip.w);
    }
    if (!behind)
    {
        const float marginX = kMarginPixels / width, marginY = kMarginPixels / height;
        x0 = std::clamp(minX - marginX, -1.0f, 1.0f);
        x1 = std::clamp(maxX + marginX, -1.0f, 1.0f);
        y0 = std::clamp(minY - marginY, -1.0f, 1.0f);
        y1 = std::clamp(maxY + marginY, -1.0f, 1.0f);
    }
    const uint32_t column0 = uint32_t(std::floor((x0 + 1.0f) * 0.5f * float(kTileColumns)));
    const uint32_t column1 = std::min(uint32_t(std::ceil((x1 + 1.0f) * 0.5f * float(kTileColumns))), kTileColumns);
    const uint32_t row0 = uint32_t(std::floor((y0 + 1.0f) * 0.5f * float(kTileRows)));
    const uint32_t row1 = std::min(uint32_t(std::ceil((y1 + 1.0f) * 0.5f * float(kTileRows))), kTileRows);
    for (uint32_t row = row0; row < row1; ++row)
        for (uint32_t column = column0; column < column1; ++column)
            m_tiles[row * kTileColumns + column] |= uint8_t(bits);
    if (row0 < row1 && column0 < column1)
        m_summary |= uint8_t(bits);
}

void OutlineRenderer::ListGroup(uint32_t group)
{
    Group& listed = m_groups[group];
    listed.firstIndex = uint32_t(m_indices.size());
    listed.quadCount = 0;
    for (uint32_t row = 0; row < kTileRows; ++row)
    {
        const uint8_t* tiles = &m_tiles[row * kTileColumns];
        uint32_t column = 0;
        while (column < kTileColumns)
        {
            const auto matches = [&](uint32_t c) { return group == 0 ? tiles[c] != 0 : (tiles[c] & (1u << group)) != 0; };
            if (!matches(column))
            {
                ++column;
                continue;
            }
            const uint32_t first = column;
            while (column < kTileColumns && matches(column))
                ++column;
            // A run that stops before the row's end takes the tile after it too.
            const uint32_t end = column == kTileColumns ? kTileColumns : column + 1;
            const uint16_t bottomLeft = uint16_t(row * kGridColumns + first);
            const uint16_t bottomRight = uint16_t(row * kGridColumns + end);
            const uint16_t topLeft = uint16_t(bottomLeft + kGridColumns);
            const uint16_t topRight = uint16_t(bottomRight + kGridColumns);
            m_indices.insert(m_indices.end(), {bottomLeft, bottomRight, topRight, bottomLeft, topRight, topLeft});
            ++listed.quadCount;
        }
    }
}

void OutlineRenderer::ListQuads()
{
    m_indices.clear();
    for (uint32_t group = 0; group < kGroupCount; ++group)
        ListGroup(group);
}

bool OutlineRenderer::BuildIndexLists(NorvexRenderer& renderer)
{
    ListQuads();
    if (m_indices.empty() || CopyToRing(renderer))
        return true;
    m_groups.fill(Group());
    return false;
}

bool OutlineRenderer::CopyToRing(NorvexRenderer& renderer)
{
    const SharedGeometry& shared = renderer.GetDeviceManager().GetSharedGeometry();
    gpu::GpuIndexBuffer* const ring = shared.GetScreenGridRing();
    if (ring == nullptr)
        return false;
    const uint32_t bytes = uint32_t(m_indices.size() * sizeof(uint16_t));
    uint32_t flags = gpu::kLockNoOverwrite;
    // A ring made again since the last copy holds nothing drawn: start it over.
    if (m_ringGeneration != shared.GetGeneration() || m_ringOffset + bytes > kRingBytes)
    {
        m_ringOffset = 0;
        m_ringGeneration = shared.GetGeneration();
        flags = gpu::kLockDiscard;
    }
    void* data = nullptr;
    if (ring->Lock(m_ringOffset, bytes, &data, flags) != gpu::kOk)
        return false;
    std::memcpy(data, m_indices.data(), bytes);
    ring->Unlock();
    const uint32_t ringFirst = m_ringOffset / sizeof(uint16_t);
    for (Group& group : m_groups)
        group.firstIndex += ringFirst;
    m_ringOffset = AlignUp(m_ringOffset + bytes);
    return true;
}

bool OutlineRenderer::BindGrid(NorvexRenderer& renderer, const ShaderPair& pair)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    const SharedGeometry& shared = renderer.GetDeviceManager().GetSharedGeometry();
    const SharedGeometry::Buffers& grid = shared.Get(SharedGeometry::MESH_SCREEN_GRID);
    if (device == nullptr || grid.vertices == nullptr || shared.GetScreenGridRing() == nullptr || !pair.IsValid())
        return false;
    gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kGridPosition, 2);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    device->SetStreamSource(0, grid.vertices, 0, grid.stride);
    device->SetIndices(shared.GetScreenGridRing());
    pair.Bind();
    return true;
}

void OutlineRenderer::DrawGroup(NorvexRenderer& renderer, uint32_t group)
{
    const Group& listed = m_groups[group];
    if (listed.quadCount != 0)
        renderer.DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, kGridColumns * (kTileRows + 1),
                                      listed.firstIndex, listed.quadCount * 2);
}

void OutlineRenderer::GenerateMask(NorvexRenderer& renderer)
{
    RenderStateCache& state = renderer.GetStateCache();
    state.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    state.SetCullMode(kCullNone);
    state.SetBlendMode(0);
    if (!BindGrid(renderer, m_generate))
        return;
    state.SetStencilOps(gpu::kStencilKeep, gpu::kStencilKeep, gpu::kStencilKeep);
    for (uint32_t side = 0; side < 4; ++side)
    {
        if (m_groups[side + 1].quadCount == 0)
            continue;
        state.SetStencilFunc(gpu::kCmpEqual, 255, 2u << side, 0);
        state.SetColorWriteMask(kSideChannels[side]);
        DrawGroup(renderer, side + 1);
    }
    state.SetColorWriteMask(kAllChannels);
    state.SetStencilFunc(gpu::kCmpAlways, 255, 0xFF, 0);
    state.DisableStencil();
}

void OutlineRenderer::Dilate(NorvexRenderer& renderer, const uint8_t* params, const RenderTarget& mask)
{
    const RenderDeviceManager& device = renderer.GetDeviceManager();
    const float width = float(device.GetRenderWidth()), height = float(device.GetRenderHeight());
    if (!BindGrid(renderer, m_dilate))
        return;
    renderer.GetStateCache().SetTexture(0, mask.GetHolder(), kMaskSamplerFlags);
    const float kernel = ReadFloat(params + kKernelSizeOffset) * 0.5f;
    const Vector offsets(kernel / width, kernel / height, -kernel / width, -kernel / height);
    const Vector mapping = ScreenMapping(width, height);
    m_dilate.SetVertexConstants(kScreenMappingRegister, &mapping.x, 1);
    m_dilate.SetPixelConstants(kKernelRegister, &offsets.x, 1);
    // Hostile, friendly, neutral and hero, each scaled by its own alpha x 0.2.
    Vector colors[4];
    for (uint32_t side = 0; side < 4; ++side)
    {
        ReadColor(params + side * kColorBytes).ToVector(colors[side]);
        const float scale = colors[side].w * 0.2f;
        colors[side] = Vector(colors[side].x * scale, colors[side].y * scale, colors[side].z * scale,
                              colors[side].w * scale);
    }
    m_dilate.SetPixelConstants(kSideColorRegister, &colors[0].x, 4);
    DrawGroup(renderer, 0);
    renderer.GetStateCache().SetTexture(0, nullptr, kMaskSamplerFlags);
}

void OutlineRenderer::GenerateResolvedMask(NorvexRenderer& renderer, const RenderTarget& mask)
{
    // A multisampled scene leaves its side bits in the multisampled depth-stencil surface, which the
    // main one bound for post-processing does not hold and which only a target of its sample count
    // may be drawn with: the mask is drawn into the multisampled colour surface (free once the scene
    // is resolved) and resolved into the mask target.
    gpu::GpuDevice* const device = renderer.GetDevice();
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    RenderStateCache& state = renderer.GetStateCache();
    gpu::GpuSurface* previousDepth = nullptr;
    device->GetDepthStencilSurface(&previousDepth);
    const RenderTarget samples(targets.multisampledColor, nullptr);
    state.SetRenderTargets(&samples, nullptr, 0);
    device->SetDepthStencilSurface(targets.multisampledDepth);
    state.ClearTargets(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    GenerateMask(renderer);
    device->StretchRect(targets.multisampledColor, nullptr, mask.GetSurface(), nullptr, gpu::kFilterPoint);
    device->SetDepthStencilSurface(previousDepth);
    gpu::SafeRelease(previousDepth);
}

void OutlineRenderer::Reconstruct(NorvexRenderer& renderer, const uint8_t* params, bool useAlternate,
                                  bool sceneMultisampled)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    const RenderTarget& mask = useAlternate && targets.pingPong[1].GetSurface() != nullptr ? targets.pingPong[1]
                                                                                          : targets.pingPong[0];
    if (device == nullptr || m_summary == 0 || mask.GetSurface() == nullptr || targets.auxiliary.GetSurface() == nullptr)
        return;
    RenderStateCache& state = renderer.GetStateCache();
    const CachedRenderState previous = state.GetCached();
    gpu::GpuSurface* previousTarget = nullptr;
    device->GetRenderTarget(0, &previousTarget);
    gpu::Viewport viewport;
    device->GetViewport(&viewport);

    state.SetColorWriteMask(kAllChannels);
    if (sceneMultisampled && targets.multisampledColor != nullptr && targets.multisampledDepth != nullptr)
        GenerateResolvedMask(renderer, mask);
    else
    {
        state.SetRenderTargets(&mask, nullptr, 0);
        state.ClearTargets(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
        GenerateMask(renderer);
    }
    state.SetRenderTargets(&targets.auxiliary, nullptr, 0);
    state.ClearTargets(gpu::kClearTarget, Vector(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    Dilate(renderer, params, mask);

    device->SetRenderTarget(0, previousTarget);
    gpu::SafeRelease(previousTarget);
    device->SetViewport(viewport);
    state.DisableStencil();
    state.SetDepthState(previous.depthFunction, previous.depthWrite != 0, previous.depthBias);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
}

void OutlineRenderer::Composite(NorvexRenderer& renderer, const uint8_t* params)
{
    const RenderDeviceManager& device = renderer.GetDeviceManager();
    const ShaderPair& pair = m_composite[renderer.GetDeviceParams().qualityLevel < kSecondCompositeLevel ? 0 : 1];
    RenderStateCache& state = renderer.GetStateCache();
    state.SetCullMode(kCullNone);
    state.SetBlendMode(kAdditiveBlend);
    state.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    if (!BindGrid(renderer, pair))
        return;
    const float softness = ReadFloat(params + kSoftnessOffset);
    const float k = 1.0f / (softness * 4.0f + 1.0f);
    const Vector weights(5.0f * k, 5.0f * k * softness, 0.0f, 0.0f);
    const Vector mapping = ScreenMapping(float(device.GetRenderWidth()), float(device.GetRenderHeight()));
    pair.SetVertexConstants(kScreenMappingRegister, &mapping.x, 1);
    pair.SetPixelConstants(kSoftnessRegister, &weights.x, 1);
    state.SetTexture(0, device.GetRenderTargets().auxiliary.GetHolder(), kMaskSamplerFlags);
    DrawGroup(renderer, 0);
    state.SetTexture(0, nullptr, kMaskSamplerFlags);
    state.SetBlendMode(0);
    renderer.GetDevice()->SetIndices(nullptr);
    renderer.GetDevice()->SetStreamSource(0, nullptr, 0, 0);
}

void OutlineRenderer::Render(NorvexRenderer& renderer, const uint8_t* params)
{
    if (renderer.GetDeviceParams().outlinesEnabled == 0 || m_summary == 0 || renderer.GetDevice() == nullptr)
        return;
    if (!BuildIndexLists(renderer))
        return;
    Reconstruct(renderer, params, true, false);
    Composite(renderer, params);
}
