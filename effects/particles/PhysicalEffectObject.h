// PhysicalEffectObject: the run-time object of one playing physical effect, made by the effect's
// rendering context or its SFX element and destroyed with it on the render thread. Its owner sets
// the multipliers and the spawn rate; the physics world, which simulates the pieces, sets the state
// and publishes the pieces' bounds, which the game thread takes through the SyncCounter pair (a new
// box is published only once the last one was taken). This game's physics world never starts, so
// it publishes nothing and no SFX element makes an object.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/threads/SyncCounter.h"

#include <cstdint>

// One physical effect at play.
class PhysicalEffectObject
{
public:
    static constexpr uint32_t STATE_FINISHED = 2;

    // Whether the physics world runs: SFX elements make objects only then. Any thread.
    static bool IsWorldEnabled();
    static void SetWorldEnabled(bool enabled);

    void SetSpeedMultiplier(float multiplier) { m_speedMultiplier = multiplier; }
    void SetLifeMultiplier(float multiplier) { m_lifeMultiplier = multiplier; }
    void SetSpawnRate(float rate) { m_spawnRate = rate; }
    float GetSpeedMultiplier() const { return m_speedMultiplier; }
    float GetLifeMultiplier() const { return m_lifeMultiplier; }
    float GetSpawnRate() const { return m_spawnRate; }
    uint32_t GetState() const { return m_state; }
    void SetState(uint32_t state) { m_state = state; }
    bool IsFinished() const { return m_state == STATE_FINISHED; }

    // Simulation side: false (nothing published) while the last box is still untaken.
    bool PublishBounds(const BoundingBox4& bounds);
    // Game thread: the box published since the last call, if any.
    bool FetchBounds(BoundingBox4& bounds);

private:
    float m_speedMultiplier = 1.0f;
    float m_lifeMultiplier = 1.0f;
    float m_spawnRate = 0.0f;
    uint32_t m_state = 0;
    BoundingBox4 m_publishedBounds = BoundingBox4::INVALID;
    SyncCounter m_publishedCounter; // issued: published boxes, completed: taken boxes
};
