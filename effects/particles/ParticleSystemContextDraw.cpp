// ParticleSystemContext's drawing: the vertex and instance fills and the draw calls. Render thread.
#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSystemContext.h"
#include "effects/particles/ParticleVertexKernels.h"
#include "engine/profiler/Profiler.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneLighting.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceTexture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr uint32_t kParticleSamplerFlags = 7;

// Side and up axes of the fixed face modes, from the draw matrix or the camera.
ParticleKernelAxes ComputeAxes(uint32_t faceMode, const Matrix& world, const Matrix& camera)
{
    ParticleKernelAxes axes;
    axes.cameraPosition = camera.rows[3];
    switch (faceMode)
    {
    case 0:
        axes.side = world.rows[1];
        axes.up = world.rows[2];
        break;
    case 1:
        axes.side = world.rows[0];
        axes.up = world.rows[2];
        break;
    case 2:
        axes.side = world.rows[0];
        axes.up = world.rows[1];
        break;
    default:
        axes.side = camera.rows[0];
        axes.up.NegateXYZ(camera.rows[1]);
        axes.side.w = axes.up.w = 0.0f;
        axes.side.Normalize();
        axes.up.Normalize();
        return axes;
    }
    axes.side.w = axes.up.w = 0.0f;
    axes.side.NormalizeEst();
    axes.up.NormalizeEst();
    return axes;
}
} // namespace

uint32_t ParticleSystemContext::GetKernelIndex() const
{
    const uint32_t group = m_faceCameraMode <= 3 ? 0u : m_faceCameraMode - 3u;
    return group * 4 + (m_rotating ? 2u : 0u) + (m_frameCount > 1 ? 1u : 0u);
}

uint32_t ParticleSystemContext::FillVertices(ParticleVertex* out, const ParticleKernelAxes& axes) const
{
    const ParticleVertexKernel kernel = particleVertexKernel[GetKernelIndex()];
    const ParticleRecord* const ring = gParticlePools.GetRing();
    const uint32_t max = gParticlePools.GetMaxParticles();
    const float now = GetNow();
    const bool reverse = m_sortMode == 1;
    for (uint32_t i = 0; i < m_count; ++i, out += 4)
    {
        const uint32_t index = reverse ? m_count - 1 - i : i;
        const uint32_t slot = (m_ringStart + index) % max;
        __builtin_prefetch(&ring[(slot + (reverse ? max - 1 : 1)) % max]);
        kernel(*this, out, ring[slot], now, axes);
    }
    return m_count;
}

uint32_t ParticleSystemContext::FillInstances(uint8_t* out) const
{
    const ParticleRecord* const ring = gParticlePools.GetRing();
    const uint32_t max = gParticlePools.GetMaxParticles();
    const float now = GetNow();
    for (uint32_t i = 0; i < m_count; ++i, out += kParticleInstanceBytes)
    {
        const ParticleRecord& particle = ring[(m_ringStart + i) % max];
        const float f = (now - particle.birth) * particle.inverseLife;
        const uint32_t segment = uint32_t(f > m_nodeTimes[1]) + uint32_t(f > m_nodeTimes[2]);
        const float blend = std::clamp((f - m_nodeTimes[segment]) * m_inverseSegmentLengths[segment], 0.0f, 1.0f);
        const float size = m_nodeSizes[segment] + (m_nodeSizes[segment + 1] - m_nodeSizes[segment]) * blend;
        Vector color;
        color.Lerp(m_nodeColors[segment], m_nodeColors[segment + 1], Vector(blend, blend, blend, blend));

        Matrix transform = Matrix::ONE;
        if (m_faceCameraMode == 5)
        {
            const Vector velocity(particle.velocity[0], particle.velocity[1], particle.velocity[2], 0.0f);
            Vector side;
            side.Cross(velocity, kParticleVelocityNormalReference);
            side.Normalize();
            Vector up;
            up.Cross(velocity, side);
            up.Normalize();
            Vector forward = velocity;
            forward.Normalize();
            transform.rows[0] = side;
            transform.rows[1] = up;
            transform.rows[2] = forward;
        }
        else
        {
            const float pick = float((particle.word >> 16) & 255u) / 255.0f;
            const float start = float((particle.word >> 8) & 255u) * 6.2831853f / 255.0f;
            const float primary = (m_rotationSpeeds[0] + (m_rotationSpeeds[1] - m_rotationSpeeds[0]) * pick) * f + start;
            const float secondary =
                (m_rotationSpeeds[2] + (m_rotationSpeeds[3] - m_rotationSpeeds[2]) * pick) * f + start;
            Matrix yaw;
            yaw.LoadYRotation(primary * 57.29578f);
            Matrix pitch;
            pitch.LoadXRotation(secondary * 57.29578f);
            transform.Mul(pitch, yaw);
        }
        for (int r = 0; r < 3; ++r)
            transform.rows[r].Mul(size);
        transform.rows[3].Set(particle.position[0], particle.position[1], particle.position[2], 1.0f);
        Vector rows[3];
        transform.ToTransposed3x4(rows);
        std::memcpy(out, rows, sizeof(rows));
        // w in the top byte, then x, y and z.
        const uint32_t packed = color.GetRGBA();
        std::memcpy(out + sizeof(rows), &packed, sizeof(packed));
    }
    return m_count;
}

bool ParticleSystemContext::WriteToVertexBuffer(uint32_t bytes, const Matrix& world)
{
    if (m_vertexBufferOffset >= 0 && m_vertexBufferGeneration == gParticlePools.GetGeneration())
        return true;
    uint32_t offset = 0;
    void* data = gParticlePools.LockVertices(bytes, &offset);
    if (data == nullptr)
    {
        m_vertexBufferOffset = -1;
        return false;
    }
    if (IsMeshParticles())
        FillInstances(static_cast<uint8_t*>(data));
    else
    {
        Matrix camera = gRenderer != nullptr ? gRenderer->GetView() : Matrix::ONE;
        if (!camera.Inverse())
            camera = Matrix::ONE;
        if (m_localSpace)
        {
            Matrix inverseNormalized = m_normalizedMatrix;
            if (!inverseNormalized.Inverse())
                inverseNormalized = Matrix::ONE;
            // The camera's axes and place in the emitter's space: the camera matrix first, then
            // the emitter's inverse. The other order keeps them only for an unturned camera.
            Matrix local;
            local.Mul(inverseNormalized, camera);
            camera = local;
        }
        FillVertices(static_cast<ParticleVertex*>(data), ComputeAxes(m_faceCameraMode, world, camera));
    }
    gParticlePools.UnlockVertices(bytes);
    m_vertexBufferOffset = int32_t(offset);
    m_vertexBufferGeneration = gParticlePools.GetGeneration();
    gParticlePools.CountWritten(m_count, bytes);
    return true;
}

void ParticleSystemContext::Draw(const Matrix& world, const Vector& color, uint32_t passFlags, int32_t passA,
                                 uint32_t passB)
{
    (void)passFlags;
    m_lastDrawnFrame = gParticlePools.GetFrame();
    if (!m_inUpdateList)
    {
        gParticlePools.AddToUpdateList(this);
        m_unparkPending = true;
    }
    m_lastDrawTime = int64_t(gParticlePools.GetClockTicks(GetClockIndex()));
    if (m_count == 0)
        return;
    if (IsMeshParticles())
        DrawMeshInstances(world, color, false, passA, passB);
    else
        DrawQuads(world, color);
}

void ParticleSystemContext::DrawQuads(const Matrix& world, const Vector& color)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr || m_vertexShaderObject == nullptr || m_pixelShaderObject == nullptr)
        return;
    gpu::GpuDevice* const device = renderer->GetDevice();
    if (device == nullptr || gParticlePools.GetVertexBuffer() == nullptr)
        return;
    // One draw covers at most the quads the shared index buffer holds.
    const uint32_t drawn = std::min(m_count, gParticlePools.GetIndexedQuads());
    if (!WriteToVertexBuffer(m_count * kParticleQuadBytes, world))
        return;
    gProfiler.StartTimer(PROFILER_PARTICLE_RENDER_TIME, PROFILER_SOURCE_RENDER);
    renderer->SetBlendMode(m_blendMode);
    renderer->SetAlphaTest(m_alphaTestMode, m_alphaReference);
    renderer->SetDepthState(m_depthRead ? gpu::kCmpLessEqual : gpu::kCmpAlways, m_depthWrite, 0.0f);
    renderer->SetCullMode(gpu::kCullNone);
    // A texture still loading when the context was made is taken from its resource once loaded.
    TextureHolder* texture = m_deviceTexture;
    if (texture == nullptr && m_textureResource != nullptr)
        texture = static_cast<ResourceTexture*>(m_textureResource)->GetTextureHolder();
    renderer->SetTexture(0, texture, kParticleSamplerFlags);
    device->SetVertexDeclaration(gParticlePools.GetDeclaration());
    device->SetStreamSource(0, gParticlePools.GetVertexBuffer(), uint32_t(m_vertexBufferOffset),
                            uint32_t(sizeof(ParticleVertex)));
    device->SetIndices(gParticlePools.GetIndexBuffer());
    renderer->SetVertexShader(m_vertexShaderObject);
    renderer->SetPixelShader(m_pixelShaderObject);
    m_vertexShaderObject->SetConstantColor(*renderer, color);
    m_vertexShaderObject->SetModelMatrix(*renderer, m_localSpace ? m_normalizedMatrix : Matrix::ONE, true);
    Vector nodes[4];
    for (uint32_t i = 0; i < 4; ++i)
    {
        const Vector& c = m_nodeColors[i];
        const float l = 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z;
        nodes[i].Set(c.x + (l - c.x) * m_desaturation, c.y + (l - c.y) * m_desaturation,
                     c.z + (l - c.z) * m_desaturation, c.w);
    }
    renderer->SetVertexShaderConstants(0, &nodes[0].x, 4);
    const Vector desaturation(m_desaturation, 0.0f, 0.0f, 0.0f);
    renderer->SetPixelShaderConstants(0, &desaturation.x, 1);
    // The lit mesh passes leave the scene's fog there only when they drew this frame.
    renderer->SetVertexShaderConstants(SCENE_LIGHT_FOG_VERTEX, &gSceneEnvironment.GetFogFactors().x, 1);
    renderer->DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, drawn * 4, 0, drawn * 2);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    gProfiler.StopTimer(PROFILER_PARTICLE_RENDER_TIME, PROFILER_SOURCE_RENDER);
}

void ParticleSystemContext::DrawMeshInstances(const Matrix& world, const Vector& color, bool depthPass, int32_t passA,
                                              uint32_t passB)
{
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    if (device == nullptr || m_meshData == nullptr || !m_meshData->IsReady() ||
        !WriteToVertexBuffer(m_count * kParticleInstanceBytes, world))
        return;
    const uint32_t primitivesBefore = renderer->GetFramePrimitives();
    device->SetStreamSource(1, gParticlePools.GetVertexBuffer(), uint32_t(m_vertexBufferOffset), kParticleInstanceBytes);
    device->SetStreamSourceFreq(0, gpu::kStreamIndexedData | m_count);
    device->SetStreamSourceFreq(1, gpu::kStreamInstanceData | 1u);
    // The instances hold world positions, or emitter-local ones under the normalized matrix.
    const Matrix& model = m_localSpace ? m_normalizedMatrix : Matrix::ONE;
    if (depthPass)
        m_meshData->DrawDepth(model, 0, uint32_t(m_meshShaderPreset), nullptr, true);
    else
        m_meshData->Draw(model, Matrix::ONE, m_meshData->GetBounds(), color, 1.0f, 0, 0, uint32_t(m_meshShaderPreset),
                         nullptr, nullptr, nullptr, int32_t(uint32_t(passA) | MeshTemplateRenderingData::kPassInstanced),
                         passB, GetClockIndex(), m_randomPhase);
    // The statistics count each draw's triangles once; every instance drew them.
    renderer->GetStateCache().CountPrimitives((renderer->GetFramePrimitives() - primitivesBefore) * (m_count - 1));
    device->SetStreamSourceFreq(0, 1);
    device->SetStreamSourceFreq(1, 1);
    device->SetStreamSource(1, nullptr, 0, 0);
}

void ParticleSystemContext::DrawMeshDepth(uint32_t passFlags)
{
    (void)passFlags;
    if (IsMeshParticles() && m_count > 0)
        DrawMeshInstances(m_matrix, Vector(1.0f, 1.0f, 1.0f, 1.0f), true, kForwardMeshPass, 0);
}
