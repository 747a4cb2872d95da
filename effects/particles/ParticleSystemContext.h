// ParticleSystemContext: one playing particle emitter, built from a ParticleSystem definition on the
// game thread (or by an effect's owner) and from then on owned by the render thread. Its particles
// live in the shared ring pool of ParticlePools; each frame's update moves, kills and spawns them in
// one pass, and each draw expands them into quads (or mesh instances) in the shared vertex buffer.
//
// Threads: the constructor, the Post* calls and ReadBounds belong to the owner's thread; everything
// else runs on the render thread (sub-commands through the call command, the update and the draws).
// The published bounds are the one shared datum: a single-writer, single-reader handshake on a
// SyncCounter pair, written only after the reader consumed the last box.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/threads/SyncCounter.h"
#include "effects/particles/ParticleSpawner.h"

#include <cstdint>

class CommandRingBuffer;
class EntityTemplate;
class MeshTemplateRenderingData;
class NorvexRenderer;
class ParticleSystem;
class PixelShaderObject;
class Resource;
class TextureHolder;
class VertexShaderObject;
struct ParticleKernelAxes;
struct ParticleVertex;

// Render-side run-time state of one particle emitter.
class ParticleSystemContext
{
public:
    enum SubCommand : uint32_t
    {
        SUB_ACTIVATE = 0,
        SUB_DESTROY = 1,
        SUB_SET_MATRIX = 2,
        SUB_RESTART = 3,
        SUB_STOP = 4,
        SUB_SPEED = 5,
    };
    // Flag word bits.
    static constexpr uint32_t kFlagThirdClock = 4;
    static constexpr uint32_t kFlagEngineClock = 8;
    static constexpr uint32_t kFlagMayPark = 16;
    // The mesh pass argument of a draw that no pass list gives one: the forward pass.
    static constexpr int32_t kForwardMeshPass = 16;
    // Frames without a draw after which a context that may park is parked.
    static constexpr uint32_t kParkAfterFrames = 3;

    // Owner's thread: fills every field from the definition, takes references on its shader, texture
    // or mesh resources and posts the activation.
    ParticleSystemContext(const ParticleSystem& definition, const Matrix& world, uint32_t flags);
    ~ParticleSystemContext();
    ParticleSystemContext(const ParticleSystemContext&) = delete;
    ParticleSystemContext& operator=(const ParticleSystemContext&) = delete;

    // Owner's thread: posted sub-commands. PostDestroy posts the deletion, then gives back the mesh
    // template reference; the caller forgets the pointer.
    void PostDestroy();
    void PostSetMatrix(const Matrix& world);
    void PostRestart();
    void PostStop();
    void PostSetSpeedMultiplier(float multiplier);
    // Owner's thread: true with the newest bounds (emitter-local) when the render thread published a
    // box since the last read.
    bool ReadBounds(BoundingBox4& bounds);
    // Owner's thread: hands the mesh template reference to the caller (null when none or taken
    // already), which releases it once it has posted the context's deletion or replacement. The
    // shader and texture references stay with the context and go back on the render thread when it
    // dies, after its last draw: a release on the owner's thread could otherwise change what a draw
    // in progress reads.
    EntityTemplate* TakeMeshTemplateReference();

    // Render thread: the sub-commands' work.
    static void ExecuteSubCommand(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    void Activate(const MeshTemplateRenderingData* meshData);
    // Leaves the pools' lists, drops parked particles and deletes the context.
    void DestroyOnRenderThread();
    void SetMatrix(const Matrix& world);
    void Restart();
    void Stop() { m_emitting = false; }
    void SetSpeedMultiplier(float multiplier) { m_speedMultiplier = multiplier; }
    void SetLifeMultiplier(float multiplier) { m_lifeMultiplier = multiplier; }
    void AddPendingTime(float seconds) { m_pendingTime += seconds; }
    void SetCustomSpawner(ParticleSpawner* spawner) { m_customSpawner = spawner; }
    void SetSpawnRateMultiplier(float multiplier) { m_spawnRateMultiplier = multiplier; }

    // Render thread: the frame update of this context (ParticlePools::BeginFrame calls it). Returns
    // the particles it holds in the ring from `writeSlot` on.
    uint32_t Update(uint32_t writeSlot, uint32_t spawnLimit, const float clockSteps[3]);
    // Render thread: draws with `world`, the colour and the pass flags; mesh particles draw their
    // mesh in the pass the two pass arguments name (the forward pass unless a pass list says).
    void Draw(const Matrix& world, const Vector& color, uint32_t passFlags, int32_t passA = kForwardMeshPass,
              uint32_t passB = 0);
    // Render thread: mesh particles in the depth pass (nothing for quads).
    void DrawMeshDepth(uint32_t passFlags);
    // Render thread: writes this frame's quads (4 vertices per particle, oldest first or newest first
    // with sort mode "Reverse") for the axes; returns the particles written.
    uint32_t FillVertices(ParticleVertex* out, const ParticleKernelAxes& axes) const;
    // Render thread: writes one 64-byte instance per particle for mesh particles; returns the count.
    uint32_t FillInstances(uint8_t* out) const;
    // The kernel index (0 to 11) for this context's face mode, rotation and animation.
    uint32_t GetKernelIndex() const;

    // Render thread: read by the pools, spawners, kernels and tests.
    const Matrix& GetMatrix() const { return m_matrix; }
    const Matrix& GetPreviousMatrix() const { return m_previousMatrix; }
    const Matrix& GetInverseMatrix() const { return m_inverseMatrix; }
    const Matrix& GetNormalizedMatrix() const { return m_normalizedMatrix; }
    const Vector& GetScale() const { return m_scale; }
    // Acceleration of the particles in their own space (world, or emitter-local in local space).
    Vector GetAcceleration() const;
    uint32_t GetCount() const { return m_count; }
    uint32_t GetRingStart() const { return m_ringStart; }
    uint32_t GetParkStart() const { return m_parkStart; }
    uint32_t GetParkCount() const { return m_parkCount; }
    bool IsEmitting() const { return m_emitting; }
    bool IsInUpdateList() const { return m_inUpdateList; }
    bool IsInParkList() const { return m_inParkList; }
    bool IsUnparkPending() const { return m_unparkPending; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetMeshFlags() const { return m_meshFlags; }
    bool CastsMeshShadow() const { return m_meshCastsShadow; }
    bool IsMeshParticles() const { return m_meshParticles; }
    float GetSpawnRate() const { return m_spawnRate; }
    float GetMinimumLife() const { return m_minimumLife; }
    float GetLifeRange() const { return m_lifeRange; }
    float GetLifeMultiplier() const { return m_lifeMultiplier; }
    float GetSpeedMultiplier() const { return m_speedMultiplier; }
    float GetPendingTime() const { return m_pendingTime; }
    // Seconds of the emitter's clock since the base time (the particles' "now").
    float GetNow() const;
    int64_t GetEmitterTime() const { return m_emitterTime; }
    int64_t GetBaseTime() const { return m_baseTime; }
    int64_t GetLastSpawnTime() const { return m_lastSpawnTime; }
    int64_t GetNextRebaseTime() const { return m_nextRebaseTime; }
    int32_t GetVertexBufferOffset() const { return m_vertexBufferOffset; }
    uint32_t GetLastDrawnFrame() const { return m_lastDrawnFrame; }
    const BoundingBox4& GetSmoothedBounds() const { return m_smoothedBounds; }
    const Vector& GetBoundsExtent() const { return m_boundsExtent; }
    float GetInverseSegmentLength(uint32_t segment) const { return m_inverseSegmentLengths[segment & 3]; }
    const Vector& GetNodeColor(uint32_t node) const { return m_nodeColors[node & 3]; }
    ParticleSpawner* GetCustomSpawner() const { return m_customSpawner.Get(); }
    // The spawner the next spawn uses.
    ParticleSpawner& SelectSpawner() const;

private:
    friend class ParticlePools;
    friend class ParticleSpawner;
    friend struct ParticleKernels;

    bool BeginCall(uint32_t subCommand, uint32_t argumentBytes);
    // Selected clock: 0 engine, 1 first game clock, 2 second game clock.
    uint32_t GetClockIndex() const;
    void Spawn(uint32_t spawnLimit);
    void Rebase();
    void MoveParticles(uint32_t writeSlot, float dt);
    void UpdateBounds(const BoundingBox4& box, bool hasParticles);
    void DrawQuads(const Matrix& world, const Vector& color);
    // The mesh once for all particles: the instances on stream 1, the mesh's vertices repeated per
    // instance, in the depth pass or in the pass the arguments name.
    void DrawMeshInstances(const Matrix& world, const Vector& color, bool depthPass, int32_t passA, uint32_t passB);
    bool WriteToVertexBuffer(uint32_t bytes, const Matrix& world);

    Matrix m_previousMatrix;
    Matrix m_matrix;
    Matrix m_inverseMatrix;
    Matrix m_normalizedMatrix;
    Vector m_scale;
    int64_t m_lastSpawnTime = 0;
    int64_t m_lastDrawTime = 0;
    int64_t m_emitterTime = 0;
    int64_t m_baseTime = 0;
    int64_t m_nextRebaseTime = 0;
    int64_t m_activationTime = 0;
    Vector m_emitterSize;
    Vector m_minimumVelocity;
    Vector m_velocityRange;
    Vector m_globalGravity;
    Vector m_localGravity;
    Vector m_circleRanges; // yaw range, pitch range (radians), speed variation, 0
    float m_circleSpeed = 0.0f;
    bool m_circleVelocity = false;
    bool m_fakeTerrainCollision = false;
    float m_bounceStrength = 0.0f;
    uint32_t m_sortMode = 0;
    float m_nodeTimes[4] = {};
    float m_inverseSegmentLengths[4] = {};
    Vector m_nodeColors[4];
    float m_nodeSizes[4] = {};
    Vector m_anchor;
    Vector m_shapeRectangle; // minimum width, minimum height, maximum width, maximum height
    float m_inverseFramesX = 1.0f;
    float m_inverseFramesY = 1.0f;
    float m_rotationSpeeds[4] = {}; // primary minimum, maximum, secondary minimum, maximum (radians per life)
    uint32_t m_frameCount = 1;
    uint32_t m_framesX = 1;
    uint32_t m_framesY = 1;
    bool m_localSpace = false;
    bool m_rotating = false;
    bool m_randomFrame = false;
    bool m_noSpawnRateReduction = false;
    float m_spawnRate = 0.0f;
    float m_spawnRateMultiplier = 1.0f;
    float m_minimumLife = 0.0001f;
    float m_lifeRange = 0.0f;
    float m_speedMultiplier = 1.0f;
    float m_lifeMultiplier = 1.0f;
    float m_velocityDamping = 1.0f;
    uint32_t m_blendMode = 0;
    uint32_t m_alphaTestMode = 0;
    uint32_t m_alphaReference = 0;
    uint32_t m_faceCameraMode = 3;
    float m_desaturation = 0.0f;
    bool m_randomRotation = false;
    bool m_depthRead = true;
    bool m_depthWrite = false;
    bool m_emitting = false;
    uint32_t m_flags = 0;
    uint32_t m_vertexBufferGeneration = 0;
    int32_t m_vertexBufferOffset = -1;
    VertexShaderObject* m_vertexShaderObject = nullptr;
    PixelShaderObject* m_pixelShaderObject = nullptr;
    TextureHolder* m_deviceTexture = nullptr;
    const MeshTemplateRenderingData* m_meshData = nullptr;
    float m_randomPhase = 0.0f;
    uint32_t m_meshFlags = 0x11;
    int32_t m_meshShaderPreset = 0;
    bool m_meshCastsShadow = false;
    Resource* m_vertexShaderResource = nullptr;
    Resource* m_pixelShaderResource = nullptr;
    Resource* m_textureResource = nullptr;
    // Owner's thread: the reference held on the mesh template. The render side reads only
    // m_meshParticles, fixed at construction.
    EntityTemplate* m_meshTemplate = nullptr;
    bool m_meshParticles = false;
    Vector m_boundsExtent;
    BoundingBox4 m_smoothedBounds;
    BoundingBox4 m_publishedBounds;
    SyncCounter m_publishedCounter; // issued: published boxes, completed: consumed boxes
    uint32_t m_ringStart = 0;
    uint32_t m_count = 0;
    uint32_t m_parkStart = 0;
    uint32_t m_parkCount = 0;
    ParticleSystemContext* m_updatePrevious = nullptr;
    ParticleSystemContext* m_updateNext = nullptr;
    ParticleSystemContext* m_parkPrevious = nullptr;
    ParticleSystemContext* m_parkNext = nullptr;
    uint32_t m_lastDrawnFrame = 0;
    bool m_inUpdateList = false;
    bool m_inParkList = false;
    bool m_unparkPending = false;
    float m_pendingTime = 0.0f;
    SafePointer<ParticleSpawner> m_customSpawner;
};
