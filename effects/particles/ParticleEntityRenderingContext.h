// ParticleEntityRenderingContext: the render-side twin of a particle entity, owning its particle
// system context on the render thread. The game thread builds each new particle context (a rebuild
// replaces the old one as a whole) and starts, stops and tunes it through this context's own call
// sub-commands; it keeps the newest context it built only to give back its resource references and
// to read its bounds.
//
// Threads: the constructor, the Post* calls, RebuildSystem, Release and the bounds belong to the
// game thread; Execute, Draw, the destructor and the render-side getters to the render thread.
#pragma once

#include "renderer/EntityRenderingContext.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class ParticleSpawner;
class ParticleSystem;
class ParticleSystemContext;

// Render-side state of one particle entity.
class ParticleEntityRenderingContext : public EntityRenderingContext
{
public:
    enum SubCommand : uint32_t
    {
        SUB_ADOPT_SYSTEM = 0,
        SUB_RESTART = 1,
        SUB_STOP = 2,
        SUB_SPEED = 3,
        SUB_LIFE = 4,
        SUB_ADD_TIME = 5,
        SUB_SET_SPAWNER = 6,
    };
    // The context's flag bit that lets its particle systems park.
    static constexpr uint32_t kFlagMayPark = 16;
    // Pass flag bits whose passes draw no particles.
    static constexpr uint32_t kSkippedPasses = 0x11;

    ParticleEntityRenderingContext(NorvexRenderer& renderer, bool mayPark);
    // Render thread: destroys the render-side system with the context.
    ~ParticleEntityRenderingContext() override;

    // Game thread.
    // Gives back the last system's references and posts a new system built from `system` at `world`.
    void RebuildSystem(const ParticleSystem& system, const Matrix& world, uint8_t gameStartFlag);
    // Gives back the game-side system's resource references, then posts the context's destruction.
    void Release() override;
    void PostRestart();
    void PostStop();
    void PostSetSpeedMultiplier(float multiplier);
    void PostSetLifeMultiplier(float multiplier);
    // `spawner` stays owned by the caller, which deletes it on the render thread.
    void PostSetSpawner(ParticleSpawner* spawner);
    // False without a system, else the system's newest published bounds.
    bool ReadBounds(BoundingBox4& bounds);
    bool GetDynamicBounds(BoundingBox4* bounds) const override;
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetMeshFlags() const { return m_meshFlags; }
    bool CastsShadow() const { return m_castsShadow; }
    ParticleSystemContext* GetGameSideSystem() const { return m_gameSideSystem; }

    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    // The system at the context's world matrix, tinted by the context's and the scene's effect
    // colour multipliers; mesh particles draw in the pass the pass list names (the forward pass
    // for a plain draw).
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;
    void DrawPass(const Matrix& world, uint32_t passFlags, const Vector& color, int32_t passA, uint32_t passB) override;
    void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags) override;
    // The system follows the context's world matrix.
    void TransformChanged() override;
    ParticleSystemContext* GetRenderSideSystem() const { return m_renderSideSystem; }

private:
    bool BeginParticleCall(uint32_t subCommand, uint32_t argumentBytes);

    uint32_t m_flags;
    ParticleSystemContext* m_gameSideSystem = nullptr;
    ParticleSystemContext* m_renderSideSystem = nullptr;
    uint32_t m_meshFlags = 0;
    bool m_castsShadow = false;
};
