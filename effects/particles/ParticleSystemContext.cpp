#include "effects/particles/ParticleSystemContext.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSystem.h"
#include "platform/os/Clock.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/resources/Resource.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace rp = renderpayload;

namespace
{
constexpr float kDegreesToRadians = 0.017453292f;
constexpr double kTicksPerSecond = double(os::kCounterFrequency);

int64_t SecondsToTicks(double seconds)
{
    return int64_t(seconds * kTicksPerSecond);
}

double TicksToSeconds(int64_t ticks)
{
    return double(ticks) / kTicksPerSecond;
}

// 1 / length, or 0 for a segment of no length: node times of 0, 1 or two equal times must not give
// infinite factors and NaN colours or sizes.
float InverseLength(float length)
{
    return length > 0.0f ? 1.0f / length : 0.0f;
}
} // namespace

ParticleSystemContext::ParticleSystemContext(const ParticleSystem& definition, const Matrix& world, uint32_t flags)
    : m_flags(flags)
{
    const Vector& variation = definition.GetInitialVelocityVariation();
    const Vector& velocity = definition.GetInitialVelocity();
    m_emitterSize = definition.GetEmitterSize();
    m_minimumVelocity.Set(velocity.x - variation.x, velocity.y - variation.y, velocity.z - variation.z, 0.0f);
    m_velocityRange.Set(2.0f * variation.x, 2.0f * variation.y, 2.0f * variation.z, 0.0f);
    m_globalGravity = definition.GetGlobalGravity();
    m_localGravity = definition.GetLocalGravity();
    m_circleRanges.Set(definition.GetCircleYawRange() * kDegreesToRadians,
                       definition.GetCirclePitchRange() * kDegreesToRadians, definition.GetCircleSpeedVariation(),
                       0.0f);
    m_circleSpeed = definition.GetCircleSpeed();
    m_circleVelocity = definition.IsCircleVelocityEnabled();
    m_fakeTerrainCollision = definition.HasFakeTerrainCollision();
    m_bounceStrength = definition.GetBounceStrength();
    m_sortMode = definition.GetSortMode();

    m_nodeTimes[0] = 0.0f;
    m_nodeTimes[1] = definition.GetNodeTime(1);
    m_nodeTimes[2] = definition.GetNodeTime(2);
    m_nodeTimes[3] = 1.0f;
    m_inverseSegmentLengths[0] = InverseLength(m_nodeTimes[1] - m_nodeTimes[0]);
    m_inverseSegmentLengths[1] = InverseLength(m_nodeTimes[2] - m_nodeTimes[1]);
    m_inverseSegmentLengths[2] = InverseLength(m_nodeTimes[3] - m_nodeTimes[2]);
    m_inverseSegmentLengths[3] = 1.0f;
    float largestSize = 0.0f;
    for (uint32_t i = 0; i < 4; ++i)
    {
        definition.GetNodeColor(i).ToVector(m_nodeColors[i]);
        m_nodeSizes[i] = definition.GetNodeSize(i);
        largestSize = std::max(largestSize, m_nodeSizes[i]);
    }
    m_anchor = definition.GetAnchor();
    const Vector& shape = definition.GetShape();
    m_shapeRectangle.Set(shape.x - shape.z, shape.y - shape.w, shape.x + shape.z, shape.y + shape.w);
    const float extent = largestSize * std::max(shape.x + shape.z, shape.y + shape.w) * 0.5f;
    m_boundsExtent.Set(extent, extent, extent, 0.0f);

    m_framesX = std::max(definition.GetTextureFramesX(), 1u);
    m_framesY = std::max(definition.GetTextureFramesY(), 1u);
    m_frameCount = m_framesX * m_framesY;
    m_inverseFramesX = 1.0f / float(m_framesX);
    m_inverseFramesY = 1.0f / float(m_framesY);
    const float speed = definition.GetRotationSpeed();
    const float speedVariation = definition.GetRotationSpeedVariation();
    const float secondary = definition.GetSecondaryRotationSpeed();
    const float secondaryVariation = definition.GetSecondaryRotationSpeedVariation();
    m_rotationSpeeds[0] = (speed - speedVariation) * kDegreesToRadians;
    m_rotationSpeeds[1] = (speed + speedVariation) * kDegreesToRadians;
    m_rotationSpeeds[2] = (secondary - secondaryVariation) * kDegreesToRadians;
    m_rotationSpeeds[3] = (secondary + secondaryVariation) * kDegreesToRadians;
    m_localSpace = definition.IsLocalSpace();
    m_randomRotation = definition.HasRandomRotationAtStart();
    m_rotating = m_randomRotation || speed != 0.0f || speedVariation != 0.0f;
    m_randomFrame = definition.GetAnimationMode() == ParticleSystem::ANIMATION_RANDOM_FRAME;
    m_noSpawnRateReduction = definition.HasNoSpawnRateReduction();
    m_spawnRate = definition.GetSpawnRate();
    m_minimumLife = std::max(definition.GetLifeTime() - definition.GetLifeTimeVariation(), 0.0001f);
    m_lifeRange = 2.0f * definition.GetLifeTimeVariation();
    m_velocityDamping = definition.GetVelocityDamping();
    m_blendMode = definition.GetBlendingMode();
    m_alphaTestMode = definition.GetAlphaTestMode();
    m_alphaReference = uint32_t(std::clamp(definition.GetAlphaReference(), 0.0f, 1.0f) * 255.0f);
    m_faceCameraMode = std::min(definition.GetFaceCameraMode(), uint32_t(ParticleSystem::FACE_VELOCITY_NORMAL));
    m_desaturation = definition.GetDesaturation();
    m_depthRead = definition.IsDepthRead();
    m_depthWrite = definition.IsDepthWrite();

    SetMatrix(world);
    m_previousMatrix = m_matrix;
    m_smoothedBounds = BoundingBox4(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
    m_publishedBounds = m_smoothedBounds;

    const MeshTemplateRenderingData* meshData = nullptr;
    auto* mesh = dynamic_cast<MeshTemplate*>(definition.GetMeshTemplate());
    if (mesh != nullptr)
    {
        mesh->AddRef();
        m_meshTemplate = mesh;
        m_meshParticles = true;
        meshData = mesh->GetRenderingData();
        m_meshFlags = 0;
        if (meshData != nullptr)
        {
            m_meshFlags = (meshData->GetRenderSwitch(0) ? 0x11u : 0u) | (meshData->GetRenderSwitch(1) ? 6u : 0u) |
                          (meshData->GetRenderSwitch(2) ? 8u : 0u);
            m_meshCastsShadow = meshData->GetRenderSwitch(3);
        }
        m_meshShaderPreset = std::max(mesh->GetShaderPresetIndex(definition.GetShaderPreset()), 0);
        static uint32_t phaseState = 1;
        m_randomPhase = float(phaseState >> 16) / 65536.0f;
        phaseState = phaseState * 214013u + 2531011u;
    }
    else
    {
        m_vertexShaderResource = definition.GetVertexShaderResource();
        m_pixelShaderResource = definition.GetPixelShaderResource();
        m_textureResource = definition.GetTextureResource();
        for (Resource* resource : {m_vertexShaderResource, m_pixelShaderResource, m_textureResource})
            if (resource != nullptr)
                resource->AddRef();
        if (auto* texture = dynamic_cast<ResourceTexture*>(m_textureResource))
        {
            m_deviceTexture = texture->GetTextureHolder();
            if (m_deviceTexture != nullptr)
                PostResourceAddRefJob(m_deviceTexture, false);
        }
    }
    if (BeginCall(SUB_ACTIVATE, rp::kPointer))
        gRenderer->GetWriter().Put(meshData);
}

ParticleSystemContext::~ParticleSystemContext() = default;

bool ParticleSystemContext::BeginCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (gRenderer == nullptr ||
        !gRenderer->WriteCall(&ParticleSystemContext::ExecuteSubCommand, subCommand, rp::kPointer + argumentBytes))
        return false;
    ParticleSystemContext* self = this;
    gRenderer->GetWriter().Put(self);
    return true;
}

EntityTemplate* ParticleSystemContext::TakeMeshTemplateReference()
{
    EntityTemplate* const mesh = m_meshTemplate;
    m_meshTemplate = nullptr;
    return mesh;
}

void ParticleSystemContext::PostDestroy()
{
    // Taken first: once the deletion is posted the context may be gone.
    EntityTemplate* const mesh = TakeMeshTemplateReference();
    // Without a renderer nothing else can own the context.
    if (gRenderer == nullptr)
        DestroyOnRenderThread();
    else if (!BeginCall(SUB_DESTROY, 0))
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "ParticleSystemContext %p could not be destroyed", static_cast<void*>(this));
    // After the deletion in the stream, so whatever the template's unloading posts comes later.
    if (mesh != nullptr)
        mesh->Release();
}

void ParticleSystemContext::PostSetMatrix(const Matrix& world)
{
    if (BeginCall(SUB_SET_MATRIX, rp::kMatrix))
        gRenderer->GetWriter().Put(world);
}

void ParticleSystemContext::PostRestart()
{
    BeginCall(SUB_RESTART, 0);
}

void ParticleSystemContext::PostStop()
{
    BeginCall(SUB_STOP, 0);
}

void ParticleSystemContext::PostSetSpeedMultiplier(float multiplier)
{
    if (BeginCall(SUB_SPEED, rp::kFloat))
        gRenderer->GetWriter().Put(multiplier);
}

bool ParticleSystemContext::ReadBounds(BoundingBox4& bounds)
{
    if (m_publishedCounter.IsAllCompleted())
        return false;
    bounds = m_publishedBounds;
    m_publishedCounter.IncrementCompleted();
    return true;
}

void ParticleSystemContext::ExecuteSubCommand(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    ParticleSystemContext* context = nullptr;
    if (!reader.Read(&context, sizeof(context)))
        return;
    switch (subCommand)
    {
    case SUB_ACTIVATE:
    {
        const MeshTemplateRenderingData* meshData = nullptr;
        if (reader.Read(&meshData, sizeof(meshData)) && context != nullptr)
            context->Activate(meshData);
        return;
    }
    case SUB_DESTROY:
        if (context != nullptr)
            context->DestroyOnRenderThread();
        return;
    case SUB_SET_MATRIX:
    {
        Matrix world;
        if (reader.Read(&world, rp::kMatrix) && context != nullptr)
            context->SetMatrix(world);
        return;
    }
    case SUB_RESTART:
        if (context != nullptr)
            context->Restart();
        return;
    case SUB_STOP:
        if (context != nullptr)
            context->Stop();
        return;
    case SUB_SPEED:
    {
        float multiplier = 1.0f;
        if (reader.Read(&multiplier, rp::kFloat) && context != nullptr)
            context->SetSpeedMultiplier(multiplier);
        return;
    }
    default:
        return;
    }
}

uint32_t ParticleSystemContext::GetClockIndex() const
{
    if (m_flags & kFlagEngineClock)
        return 0;
    return (m_flags & kFlagThirdClock) ? 2 : 1;
}

void ParticleSystemContext::Activate(const MeshTemplateRenderingData* meshData)
{
    m_meshData = meshData;
    auto* vertex = dynamic_cast<ResourceShader*>(m_vertexShaderResource);
    auto* pixel = dynamic_cast<ResourceShader*>(m_pixelShaderResource);
    m_vertexShaderObject = vertex != nullptr ? vertex->GetVertexShader() : nullptr;
    m_pixelShaderObject = pixel != nullptr ? pixel->GetPixelShader() : nullptr;
    // Every time of the context starts at the selected clock's present time.
    const int64_t now = int64_t(gParticlePools.GetClockTicks(GetClockIndex()));
    m_lastSpawnTime = m_lastDrawTime = m_emitterTime = m_baseTime = m_nextRebaseTime = m_activationTime = now;
    gParticlePools.AddToUpdateList(this);
    m_lastDrawnFrame = gParticlePools.GetFrame();
}

void ParticleSystemContext::DestroyOnRenderThread()
{
    // The references the draws needed, given back after the last of them; the destroy command comes
    // after the owner's last write, so they are read here safely.
    for (Resource** resource : {&m_vertexShaderResource, &m_pixelShaderResource, &m_textureResource})
    {
        if (*resource != nullptr)
            (*resource)->Release();
        *resource = nullptr;
    }
    if (m_deviceTexture != nullptr)
        PostTextureDeletionJob(m_deviceTexture, false);
    m_deviceTexture = nullptr;
    gParticlePools.RemoveFromUpdateList(this);
    gParticlePools.RemoveFromParkPool(this);
    delete this;
}

void ParticleSystemContext::SetMatrix(const Matrix& world)
{
    m_matrix = world;
    m_normalizedMatrix = world;
    float lengths[3];
    for (int i = 0; i < 3; ++i)
    {
        lengths[i] = world.rows[i].Length();
        if (lengths[i] > 0.0f)
            m_normalizedMatrix.rows[i].Mul(1.0f / lengths[i]);
    }
    m_scale.Set(lengths[0], lengths[1], lengths[2], 1.0f);
    m_inverseMatrix = world;
    if (!m_inverseMatrix.Inverse())
        m_inverseMatrix = Matrix::ONE;
}

void ParticleSystemContext::Restart()
{
    m_emitting = m_spawnRate > 0.001f;
    // One particle is due at once; a rate that never emits leaves the time alone (1 / rate is huge).
    if (m_emitting)
        m_lastSpawnTime = m_emitterTime - SecondsToTicks(1.0 / double(m_spawnRate));
    m_previousMatrix = m_matrix;
    if (m_baseTime == m_activationTime)
    {
        m_baseTime = m_emitterTime;
        m_nextRebaseTime = m_emitterTime + SecondsToTicks(120.0 + 60.0 * double(gParticleRandom.NextL()));
    }
}

float ParticleSystemContext::GetNow() const
{
    return float(TicksToSeconds(m_emitterTime - m_baseTime));
}

Vector ParticleSystemContext::GetAcceleration() const
{
    Vector sum;
    if (m_localSpace)
    {
        sum = m_globalGravity;
        sum.TransformNormal3D(m_inverseMatrix);
        sum.Add(m_localGravity);
    }
    else
    {
        sum = m_localGravity;
        sum.TransformNormal3D(m_matrix);
        sum.Add(m_globalGravity);
    }
    return Vector(sum.x * m_scale.x, sum.y * m_scale.y, sum.z * m_scale.z, 0.0f);
}

ParticleSpawner& ParticleSystemContext::SelectSpawner() const
{
    if (ParticleSpawner* custom = m_customSpawner.Get())
        return *custom;
    return gParticlePools.GetSpawner(m_localSpace, m_circleVelocity);
}

void ParticleSystemContext::Rebase()
{
    const double lifeSpan = double(m_lifeMultiplier) * m_minimumLife + m_lifeRange + 1.0;
    const int64_t newBase = m_emitterTime - SecondsToTicks(lifeSpan);
    const float shift = float(TicksToSeconds(newBase - m_baseTime));
    ParticleRecord* const ring = gParticlePools.GetRing();
    const uint32_t max = gParticlePools.GetMaxParticles();
    for (uint32_t i = 0; i < m_count; ++i)
    {
        ParticleRecord& record = ring[(m_ringStart + i) % max];
        record.death -= shift;
        record.birth -= shift;
    }
    m_baseTime = newBase;
    m_nextRebaseTime = m_emitterTime + SecondsToTicks(120.0 + 60.0 * double(gParticleRandom.NextL()));
}

uint32_t ParticleSystemContext::Update(uint32_t writeSlot, uint32_t spawnLimit, const float clockSteps[3])
{
    m_vertexBufferOffset = -1;
    if ((m_flags & kFlagMayPark) && gParticlePools.HasParkPool() &&
        gParticlePools.GetFrame() > m_lastDrawnFrame + kParkAfterFrames)
    {
        gParticlePools.RemoveFromUpdateList(this);
        gParticlePools.Park(this);
        return 0;
    }
    if (m_unparkPending)
    {
        m_unparkPending = false;
        gParticlePools.Unpark(this, writeSlot);
        return m_count;
    }
    const float dt = (m_pendingTime + clockSteps[GetClockIndex()]) * m_speedMultiplier;
    m_pendingTime = 0.0f;
    m_emitterTime += SecondsToTicks(dt);
    if (m_emitterTime >= m_nextRebaseTime)
        Rebase();
    if (m_count > 0)
        MoveParticles(writeSlot, dt);
    else
        UpdateBounds(BoundingBox4(), false);
    m_ringStart = writeSlot;
    if (m_emitting)
        Spawn(spawnLimit);
    return m_count;
}

void ParticleSystemContext::MoveParticles(uint32_t writeSlot, float dt)
{
    ParticleRecord* const ring = gParticlePools.GetRing();
    const uint32_t max = gParticlePools.GetMaxParticles();
    const Vector a = GetAcceleration();
    const float damping = std::pow(m_velocityDamping, dt);
    const float now = GetNow();
    uint32_t nowBits;
    std::memcpy(&nowBits, &now, sizeof(nowBits));
    Vector low(FLT_MAX, FLT_MAX, FLT_MAX, 1.0f);
    Vector high(-FLT_MAX, -FLT_MAX, -FLT_MAX, 1.0f);
    uint32_t read = m_ringStart;
    uint32_t write = writeSlot;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m_count; ++i)
    {
        const ParticleRecord& source = ring[read];
        read = read + 1 == max ? 0 : read + 1;
        uint32_t deathBits;
        std::memcpy(&deathBits, &source.death, sizeof(deathBits));
        // Positive floats order as their bit patterns.
        if (deathBits <= nowBits)
            continue;
        ParticleRecord& target = ring[write];
        write = write + 1 == max ? 0 : write + 1;
        ++kept;
        if (&target != &source)
            target = source;
        float* const v = target.velocity;
        float* const p = target.position;
        v[0] = (v[0] + a.x * dt) * damping;
        v[1] = (v[1] + a.y * dt) * damping;
        v[2] = (v[2] + a.z * dt) * damping;
        p[0] += v[0] * dt;
        p[1] += v[1] * dt;
        p[2] += v[2] * dt;
        if (m_fakeTerrainCollision && p[1] < 0.0f)
        {
            p[1] = FLT_MIN;
            v[0] *= m_bounceStrength;
            v[1] = -v[1] * m_bounceStrength;
            v[2] *= m_bounceStrength;
        }
        low.x = std::min(low.x, p[0]);
        low.y = std::min(low.y, p[1]);
        low.z = std::min(low.z, p[2]);
        high.x = std::max(high.x, p[0]);
        high.y = std::max(high.y, p[1]);
        high.z = std::max(high.z, p[2]);
    }
    m_count = kept;
    UpdateBounds(BoundingBox4(low, high), kept > 0);
}

void ParticleSystemContext::UpdateBounds(const BoundingBox4& grown, bool hasParticles)
{
    BoundingBox4 box(Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(0.0f, 0.0f, 0.0f, 1.0f));
    if (hasParticles)
    {
        BoundingBox4 padded = grown;
        padded.min.Sub(m_boundsExtent);
        padded.max.Add(m_boundsExtent);
        if (m_localSpace)
            box = padded;
        else
            box.Transform3D(padded, m_inverseMatrix);
    }
    BoundingBox4& smooth = m_smoothedBounds;
    Vector low = smooth.min;
    Vector high = smooth.max;
    low.Min(box.min);
    high.Max(box.max);
    smooth.min.Set(0.99f * low.x + 0.01f * box.min.x, 0.99f * low.y + 0.01f * box.min.y,
                   0.99f * low.z + 0.01f * box.min.z, 1.0f);
    smooth.max.Set(0.99f * high.x + 0.01f * box.max.x, 0.99f * high.y + 0.01f * box.max.y,
                   0.99f * high.z + 0.01f * box.max.z, 1.0f);
    if (ParticleSpawner* custom = m_customSpawner.Get())
        custom->OnBounds(smooth);
    // The reader has consumed the last box: hand over the new one (the increment is a full barrier).
    if (m_publishedCounter.IsAllCompleted())
    {
        m_publishedBounds = smooth;
        m_publishedCounter.IncrementIssued();
    }
}

void ParticleSystemContext::Spawn(uint32_t spawnLimit)
{
    int64_t elapsedTicks = m_emitterTime - m_lastSpawnTime;
    const int64_t minimumLifeTicks = SecondsToTicks(m_minimumLife);
    if (elapsedTicks > minimumLifeTicks)
    {
        elapsedTicks = minimumLifeTicks;
        m_lastSpawnTime = m_emitterTime - minimumLifeTicks;
    }
    if (elapsedTicks <= 0)
        return;
    const float elapsed = float(TicksToSeconds(elapsedTicks));
    ParticleSpawner& spawner = SelectSpawner();
    float rate = m_spawnRate;
    spawner.AdjustSpawnRate(&rate);
    rate *= m_spawnRateMultiplier;
    if (!m_noSpawnRateReduction)
        rate *= gParticlePools.GetSpawnFactor();
    const float sinceDraw = float(TicksToSeconds(m_emitterTime - m_lastDrawTime));
    const float ramp = std::clamp(1.0f - (sinceDraw - 3.0f) * 0.2f, 0.0f, 1.0f);
    const float dueValue = (0.3f + 0.7f * ramp) * rate * elapsed;
    const uint32_t due = dueValue > 0.0f ? uint32_t(std::min(dueValue, 4294967040.0f)) : 0u;
    const float capValue = (m_lifeMultiplier * m_minimumLife + m_lifeRange) * m_spawnRate * m_spawnRateMultiplier;
    const uint32_t cap = std::min(gParticlePools.GetParticlesPerSystem(),
                                  capValue > 0.0f ? uint32_t(std::min(capValue, 4294967040.0f)) : 0u);
    if (m_count > cap)
        return;
    const uint32_t n = std::min({due, cap - m_count, spawnLimit});
    if (n == 0)
        return;
    ParticleSpawnBatch batch;
    batch.count = n;
    batch.interval = elapsed / float(n);
    batch.startTime = float(TicksToSeconds(m_lastSpawnTime - m_baseTime));
    batch.boxMaximum.Set(m_emitterSize.x, m_emitterSize.y, m_emitterSize.z, 1.0f);
    batch.boxMinimum.Set(-m_emitterSize.x, -m_emitterSize.y, -m_emitterSize.z, 1.0f);
    batch.fractionStep = 1.0f / float(n);
    batch.fraction = batch.fractionStep;
    batch.mask = m_randomRotation ? 0xFFFFFFFFu : 0xFFFF00FFu;
    batch.age = float(n - 1) * batch.interval;
    const uint32_t max = gParticlePools.GetMaxParticles();
    const uint32_t slot = (m_ringStart + m_count) % max;
    const float lastBirth = spawnIntoRing(spawner, *this, gParticlePools.GetRing(), max, slot, batch);
    m_count += n;
    m_previousMatrix = m_matrix;
    m_lastSpawnTime = m_baseTime + SecondsToTicks(lastBirth);
}
