// ParticlePools: the one global particle store every playing particle context shares, owned by the
// render thread.
//
// All live particles sit in one ring pool of Max records. At every frame boundary the ring holds one
// contiguous block (in ring order) of the active contexts' particles, in update-list order. The frame
// update (BeginFrame) walks the update list once: each context copies its surviving particles,
// moved by one time step, to the free space after the previous block, then appends its new ones, so
// dead particles vanish by not being copied and nothing is allocated per particle. Contexts that may
// park and have not been drawn for more than three frames move their particles to the park pool and
// leave the update list; their next draw brings them back. The spawn factor falls as the ring fills.
// Drawing expands particles into the one 2 MB dynamic vertex buffer, appended with no-overwrite
// locks and discarded when a context does not fit in what is left.
//
// Render thread only (initParticlePools and destroyParticlePools run at renderer start and
// shutdown, while nothing draws).
#pragma once

#include "effects/particles/ParticleRecord.h"
#include "effects/particles/ParticleSpawner.h"

#include <cstdint>
#include <memory>

class NorvexRenderer;
class ParticleSystemContext;

namespace gpu
{
class GpuDevice;
class GpuIndexBuffer;
class GpuVertexBuffer;
class GpuVertexDeclaration;
} // namespace gpu

// Sizes the pools are made with.
struct ParticlePoolSettings
{
    uint32_t maxParticles = 262144;
    uint32_t particlesPerSystem = 10922;
    bool pausing = true;
    float spawnRateMultiplier = 1.0f;
};

// The shared particle state of the render thread.
class ParticlePools
{
public:
    static constexpr uint32_t kVertexBufferBytes = 0x200000;
    // Vertex-buffer offsets are kept 32-byte aligned.
    static constexpr uint32_t kVertexAlignment = 32;

    ParticlePools() = default;
    ~ParticlePools() { Destroy(); }
    ParticlePools(const ParticlePools&) = delete;
    ParticlePools& operator=(const ParticlePools&) = delete;

    // Allocates the ring (and the park pool with pausing), zeroes the counters and makes the four
    // spawners; false (logged) for a zero size.
    bool Init(const ParticlePoolSettings& settings);
    // Frees both pools and the spawners; every context must have been destroyed.
    void Destroy();
    bool IsInitialised() const { return m_ring != nullptr; }
    // Device objects: the vertex declaration, the quad index buffer and the 2 MB vertex buffer.
    bool CreateBuffers(gpu::GpuDevice* device);
    void ReleaseBuffers();

    // The frame update of every context, with the three clocks' accumulated ticks and last steps
    // (engine clock, first and second game clock) and the graphics quality level (0 to 4).
    void BeginFrame(const uint64_t clockTicks[3], const float clockSteps[3], uint32_t qualityLevel);

    // Contexts' list operations.
    void AddToUpdateList(ParticleSystemContext* context);
    void RemoveFromUpdateList(ParticleSystemContext* context);
    // Moves the context's particles to the park pool and joins the park list.
    void Park(ParticleSystemContext* context);
    // Takes the context's records out of the park pool (moving later ones down) and leaves the list.
    void RemoveFromParkPool(ParticleSystemContext* context);
    // Copies the parked records back into the ring from `writeSlot`, then removes them from the pool.
    void Unpark(ParticleSystemContext* context, uint32_t writeSlot);

    // Vertex buffer: makes room for `bytes` (discarding when they do not fit after the cursor) and
    // locks them; null when the lock failed. Unlock advances the cursor, 32-byte aligned.
    void* LockVertices(uint32_t bytes, uint32_t* offset);
    void UnlockVertices(uint32_t bytes);

    ParticleRecord* GetRing() { return m_ring.get(); }
    const ParticleRecord* GetRing() const { return m_ring.get(); }
    const ParticleRecord* GetPark() const { return m_park.get(); }
    uint32_t GetMaxParticles() const { return m_settings.maxParticles; }
    uint32_t GetParticlesPerSystem() const { return m_settings.particlesPerSystem; }
    bool HasParkPool() const { return m_park != nullptr; }
    uint32_t GetRingStart() const { return m_ringStart; }
    uint32_t GetRingCount() const { return m_ringCount; }
    uint32_t GetParkCount() const { return m_parkCount; }
    float GetSpawnFactor() const { return m_spawnFactor; }
    uint32_t GetFrame() const { return m_frame; }
    uint32_t GetGeneration() const { return m_generation; }
    uint32_t GetWriteCursor() const { return m_writeCursor; }
    uint64_t GetClockTicks(uint32_t clock) const { return m_clockTicks[clock % 3]; }
    ParticleSystemContext* GetFirstUpdate() const { return m_updateFirst; }
    ParticleSystemContext* GetFirstParked() const { return m_parkFirst; }
    ParticleSpawner& GetSpawner(bool localSpace, bool circle) const { return *m_spawners[(localSpace ? 1 : 0) + (circle ? 2 : 0)]; }
    gpu::GpuVertexBuffer* GetVertexBuffer() const { return m_vertexBuffer; }
    gpu::GpuIndexBuffer* GetIndexBuffer() const { return m_indexBuffer; }
    gpu::GpuVertexDeclaration* GetDeclaration() const { return m_declaration; }
    // Quads the shared index buffer holds.
    uint32_t GetIndexedQuads() const { return m_indexedQuads; }
    // The spawn factor for `free` slots of `max` at `qualityLevel`, before the project multiplier.
    static float ComputeSpawnFactor(uint32_t free, uint32_t max, uint32_t qualityLevel);
    // Statistics of the frame's fills: particles and kilobytes written.
    void CountWritten(uint32_t particles, uint32_t bytes);

private:
    ParticlePoolSettings m_settings;
    std::unique_ptr<ParticleRecord[]> m_ring;
    std::unique_ptr<ParticleRecord[]> m_park;
    std::unique_ptr<ParticleSpawner> m_spawners[4];
    uint32_t m_ringStart = 0;
    uint32_t m_ringCount = 0;
    uint32_t m_parkCount = 0;
    ParticleSystemContext* m_updateFirst = nullptr;
    ParticleSystemContext* m_updateLast = nullptr;
    ParticleSystemContext* m_parkFirst = nullptr;
    ParticleSystemContext* m_parkLast = nullptr;
    float m_spawnFactor = 1.0f;
    uint32_t m_frame = 0;
    uint32_t m_generation = 0;
    uint32_t m_writeCursor = kVertexBufferBytes;
    uint64_t m_clockTicks[3] = {};
    gpu::GpuVertexBuffer* m_vertexBuffer = nullptr;
    gpu::GpuIndexBuffer* m_indexBuffer = nullptr;
    gpu::GpuVertexDeclaration* m_declaration = nullptr;
    uint32_t m_indexedQuads = 0;
};

// The pools of the running renderer.
extern ParticlePools gParticlePools;

// Render thread: the operations the renderer calls.
bool createParticleBuffers(gpu::GpuDevice* device);
void releaseParticleBuffers();
// Sizes from the project configuration.
bool initParticlePools();
void destroyParticlePools();
void beginParticleFrame(const uint64_t clockTicks[3], const float clockSteps[3], uint32_t qualityLevel);
