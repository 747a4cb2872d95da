#include "effects/particles/ParticlePools.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticleSystemContext.h"
#include "engine/config/ProjectConfig.h"
#include "engine/profiler/Profiler.h"
#include "platform/gpu/GpuDevice.h"

#include <algorithm>
#include <cstring>
#include <vector>

ParticlePools gParticlePools;

bool ParticlePools::Init(const ParticlePoolSettings& settings)
{
    Destroy();
    if (settings.maxParticles == 0 || settings.particlesPerSystem == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Particle pools need a size (max %u, per system %u)",
                       settings.maxParticles, settings.particlesPerSystem);
        return false;
    }
    m_settings = settings;
    m_ring.reset(new ParticleRecord[settings.maxParticles]);
    if (settings.pausing)
        m_park.reset(new ParticleRecord[settings.maxParticles]);
    m_ringStart = m_ringCount = m_parkCount = 0;
    m_spawners[0] = std::make_unique<ParticleSpawner>();
    m_spawners[1] = std::make_unique<LocalSpaceParticleSpawner>();
    m_spawners[2] = std::make_unique<CircleVelParticleSpawner>();
    m_spawners[3] = std::make_unique<CircleVelLocalSpaceParticleSpawner>();
    return true;
}

void ParticlePools::Destroy()
{
    if (m_updateFirst != nullptr || m_parkFirst != nullptr)
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Particle pools destroyed with particle systems still playing");
    // Contexts still listed must not reach the freed pools through their links.
    for (ParticleSystemContext* context = m_updateFirst; context != nullptr;)
    {
        ParticleSystemContext* const next = context->m_updateNext;
        context->m_inUpdateList = false;
        context->m_updatePrevious = context->m_updateNext = nullptr;
        context->m_count = 0;
        context = next;
    }
    for (ParticleSystemContext* context = m_parkFirst; context != nullptr;)
    {
        ParticleSystemContext* const next = context->m_parkNext;
        context->m_inParkList = false;
        context->m_parkPrevious = context->m_parkNext = nullptr;
        context->m_parkCount = 0;
        context = next;
    }
    m_updateFirst = m_updateLast = m_parkFirst = m_parkLast = nullptr;
    m_ring.reset();
    m_park.reset();
    for (auto& spawner : m_spawners)
        spawner.reset();
    m_ringStart = m_ringCount = m_parkCount = 0;
}

bool ParticlePools::CreateBuffers(gpu::GpuDevice* device)
{
    ReleaseBuffers();
    if (device == nullptr)
        return false;
    static const gpu::VertexElement kElements[] = {
        {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
        {0, 12, gpu::kDeclUByte4N, gpu::kDeclMethodDefault, gpu::kDeclUsageColor, 0},
        {0, 16, gpu::kDeclUByte4N, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
        gpu::kDeclEnd,
    };
    // 16-bit indices reach 16384 quads at most.
    const uint32_t quads = std::min(m_settings.particlesPerSystem, 16384u);
    const uint32_t indexBytes = quads * 6 * uint32_t(sizeof(uint16_t));
    void* indices = nullptr;
    void* vertices = nullptr;
    if (device->CreateVertexDeclaration(kElements, &m_declaration) != gpu::kOk ||
        device->CreateIndexBuffer(indexBytes, gpu::kUsageWriteOnly, gpu::kFormatIndex16, gpu::kPoolManaged,
                                  &m_indexBuffer) != gpu::kOk ||
        m_indexBuffer->Lock(0, 0, &indices, 0) != gpu::kOk ||
        device->CreateVertexBuffer(kVertexBufferBytes, gpu::kUsageDynamic | gpu::kUsageWriteOnly, 0,
                                   gpu::kPoolDefault, &m_vertexBuffer) != gpu::kOk ||
        m_vertexBuffer->Lock(0, 0, &vertices, gpu::kLockDiscard) != gpu::kOk)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "The particle buffers could not be created");
        if (m_indexBuffer != nullptr && m_indexBuffer->IsLocked())
            m_indexBuffer->Unlock();
        ReleaseBuffers();
        return false;
    }
    uint16_t* const out = static_cast<uint16_t*>(indices);
    for (uint32_t q = 0; q < quads; ++q)
    {
        const uint16_t first = uint16_t(q * 4);
        uint16_t* const quad = out + q * 6;
        quad[0] = first;
        quad[1] = uint16_t(first + 1);
        quad[2] = uint16_t(first + 2);
        quad[3] = first;
        quad[4] = uint16_t(first + 2);
        quad[5] = uint16_t(first + 3);
    }
    m_indexBuffer->Unlock();
    std::memset(vertices, 0, kVertexBufferBytes);
    m_vertexBuffer->Unlock();
    m_indexedQuads = quads;
    m_writeCursor = kVertexBufferBytes;
    return true;
}

void ParticlePools::ReleaseBuffers()
{
    gpu::SafeRelease(m_vertexBuffer);
    gpu::SafeRelease(m_indexBuffer);
    gpu::SafeRelease(m_declaration);
    m_indexedQuads = 0;
}

float ParticlePools::ComputeSpawnFactor(uint32_t free, uint32_t max, uint32_t qualityLevel)
{
    float factor = max > 0 ? std::min(1.0f, 5.0f * float(free) / float(max)) : 0.0f;
    static const float kByQuality[] = {0.4f, 0.55f, 0.7f};
    if (qualityLevel < 3)
        factor *= kByQuality[qualityLevel];
    return factor;
}

void ParticlePools::BeginFrame(const uint64_t clockTicks[3], const float clockSteps[3], uint32_t qualityLevel)
{
    for (int i = 0; i < 3; ++i)
        m_clockTicks[i] = clockTicks[i];
    ++m_frame;
    if (!IsInitialised())
        return;
    const uint32_t max = m_settings.maxParticles;
    uint32_t write = (m_ringStart + m_ringCount) % max;
    int64_t free = int64_t(max) - int64_t(m_parkCount) - int64_t(m_ringCount);
    m_spawnFactor = ComputeSpawnFactor(uint32_t(std::max<int64_t>(free, 0)), max, qualityLevel) *
                    m_settings.spawnRateMultiplier;
    gProfiler.AddValue(PROFILER_PARTICLE_MULTIPLIER, m_spawnFactor, PROFILER_SOURCE_RENDER);

    uint32_t total = 0;
    for (ParticleSystemContext* context = m_updateFirst; context != nullptr;)
    {
        // A context may leave the list (it parks) while it updates.
        ParticleSystemContext* const next = context->m_updateNext;
        const uint32_t oldCount = context->m_count;
        const uint32_t oldPark = context->m_parkCount;
        // With the pool full, free - 1 would be -1: unlimited as a count, and new particles would
        // overwrite other contexts' unread ones.
        const uint32_t limit = free > 1 ? uint32_t(free - 1) : 0u;
        const uint32_t n = context->Update(write, limit, clockSteps);
        free += int64_t(oldCount) + int64_t(oldPark) - int64_t(n) - int64_t(context->m_parkCount);
        write = (write + n) % max;
        total += n;
        context = next;
    }
    m_ringStart = m_updateFirst != nullptr ? m_updateFirst->m_ringStart : 0;
    m_ringCount = total;
    ++m_generation;
    // The first lock of the frame discards.
    m_writeCursor = kVertexBufferBytes;
}

void ParticlePools::AddToUpdateList(ParticleSystemContext* context)
{
    if (context->m_inUpdateList)
        return;
    context->m_updatePrevious = m_updateLast;
    context->m_updateNext = nullptr;
    (m_updateLast != nullptr ? m_updateLast->m_updateNext : m_updateFirst) = context;
    m_updateLast = context;
    context->m_inUpdateList = true;
}

void ParticlePools::RemoveFromUpdateList(ParticleSystemContext* context)
{
    if (!context->m_inUpdateList)
        return;
    (context->m_updatePrevious != nullptr ? context->m_updatePrevious->m_updateNext : m_updateFirst) =
        context->m_updateNext;
    (context->m_updateNext != nullptr ? context->m_updateNext->m_updatePrevious : m_updateLast) =
        context->m_updatePrevious;
    context->m_updatePrevious = context->m_updateNext = nullptr;
    context->m_inUpdateList = false;
}

void ParticlePools::Park(ParticleSystemContext* context)
{
    if (m_park == nullptr || context->m_inParkList)
        return;
    const uint32_t max = m_settings.maxParticles;
    const uint32_t count = context->m_count;
    const uint32_t parkStart = m_parkCount % max;
    for (uint32_t i = 0; i < count; ++i)
        m_park[(parkStart + i) % max] = m_ring[(context->m_ringStart + i) % max];
    context->m_parkStart = parkStart;
    context->m_parkCount = count;
    context->m_count = 0;
    m_parkCount += count;
    context->m_parkPrevious = m_parkLast;
    context->m_parkNext = nullptr;
    (m_parkLast != nullptr ? m_parkLast->m_parkNext : m_parkFirst) = context;
    m_parkLast = context;
    context->m_inParkList = true;
}

void ParticlePools::RemoveFromParkPool(ParticleSystemContext* context)
{
    if (!context->m_inParkList)
        return;
    const uint32_t removed = context->m_parkCount;
    const uint32_t end = context->m_parkStart + removed;
    if (removed > 0 && end < m_parkCount)
        std::memmove(&m_park[context->m_parkStart], &m_park[end], (m_parkCount - end) * sizeof(ParticleRecord));
    for (ParticleSystemContext* later = context->m_parkNext; later != nullptr; later = later->m_parkNext)
        later->m_parkStart -= removed;
    m_parkCount -= removed;
    (context->m_parkPrevious != nullptr ? context->m_parkPrevious->m_parkNext : m_parkFirst) = context->m_parkNext;
    (context->m_parkNext != nullptr ? context->m_parkNext->m_parkPrevious : m_parkLast) = context->m_parkPrevious;
    context->m_parkPrevious = context->m_parkNext = nullptr;
    context->m_inParkList = false;
    context->m_parkCount = 0;
    context->m_parkStart = 0;
}

void ParticlePools::Unpark(ParticleSystemContext* context, uint32_t writeSlot)
{
    const uint32_t max = m_settings.maxParticles;
    const uint32_t count = context->m_parkCount;
    for (uint32_t i = 0; i < count; ++i)
        m_ring[(writeSlot + i) % max] = m_park[context->m_parkStart + i];
    RemoveFromParkPool(context);
    context->m_ringStart = writeSlot;
    context->m_count = count;
}

void* ParticlePools::LockVertices(uint32_t bytes, uint32_t* offset)
{
    if (m_vertexBuffer == nullptr || bytes == 0 || bytes > kVertexBufferBytes)
        return nullptr;
    uint32_t flags = gpu::kLockNoOverwrite;
    if (m_writeCursor + bytes > kVertexBufferBytes)
    {
        m_writeCursor = 0;
        ++m_generation;
        flags = gpu::kLockDiscard;
    }
    void* data = nullptr;
    if (m_vertexBuffer->Lock(m_writeCursor, bytes, &data, flags) != gpu::kOk)
        return nullptr;
    *offset = m_writeCursor;
    return data;
}

void ParticlePools::UnlockVertices(uint32_t bytes)
{
    m_vertexBuffer->Unlock();
    m_writeCursor = (m_writeCursor + bytes + kVertexAlignment - 1) & ~(kVertexAlignment - 1);
}

void ParticlePools::CountWritten(uint32_t particles, uint32_t bytes)
{
    gProfiler.AddValue(PROFILER_PARTICLES_ON_SCREEN, float(particles), PROFILER_SOURCE_RENDER);
    gProfiler.AddValue(PROFILER_DYNAMIC_GEOMETRY, float(bytes) / 1024.0f, PROFILER_SOURCE_RENDER);
}

bool createParticleBuffers(gpu::GpuDevice* device)
{
    return gParticlePools.CreateBuffers(device);
}

void releaseParticleBuffers()
{
    gParticlePools.ReleaseBuffers();
}

bool initParticlePools()
{
    ParticlePoolSettings settings;
    settings.maxParticles = gProjectConfig.GetMaxParticles();
    settings.particlesPerSystem = gProjectConfig.GetParticlesPerSystem();
    settings.pausing = gProjectConfig.IsParticlePausingEnabled();
    settings.spawnRateMultiplier = gProjectConfig.GetParticleSpawnRateMultiplier();
    return gParticlePools.Init(settings);
}

void destroyParticlePools()
{
    gParticlePools.Destroy();
}

void beginParticleFrame(const uint64_t clockTicks[3], const float clockSteps[3], uint32_t qualityLevel)
{
    gParticlePools.BeginFrame(clockTicks, clockSteps, qualityLevel);
}
