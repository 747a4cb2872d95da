// ProceduralTargetingAnimation: turns the first bone of its tree node toward a target point or
// entity at a limited angular speed, slowing down near the goal, inside rotation limits, optionally
// stabilised against the motion of its parents, and tells a listener entity when it starts and
// stops turning. Angles are degrees: x the pitch about the bone's X axis, y the yaw about its Y
// axis, kept in [0, 360). Created by MeshEntity::StartProceduralTargetingAnimation; main thread
// only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "core/time/Time.h"
#include "effects/animation/ProceduralAnimation.h"

#include <cstdint>

class Entity;

// Procedural aiming of one bone.
class ProceduralTargetingAnimation : public ProceduralAnimation
{
public:
    // The turning callbacks: still, starting (above the start speed, waiting), turning, stopping
    // (below the stop speed, waiting).
    enum CallbackState : uint32_t
    {
        CALLBACK_STARTING = 0,
        CALLBACK_TURNING = 1,
        CALLBACK_STOPPING = 2,
        CALLBACK_STILL = 3,
    };
    // Seconds a speed must hold before a start or stop is told.
    static constexpr float kCallbackDebounce = 0.1f;

    explicit ProceduralTargetingAnimation(const AnimationParams& params);

    void BindToSkeleton(const MeshSkeleton& skeleton, int32_t treeNode, int32_t firstBone) override;
    void Sample(AnimationSampleContext& context, const MeshSkeleton& skeleton, MeshAnimator& animator) override;

    // Script setters.
    void SetTargetPoint(const Vector& point, bool use);
    // False when there is no target point.
    bool GetTargetPoint(Vector& point) const;
    void SetTargetEntity(Entity* entity);
    // Freezing stops tracking; the stored aim point is dropped.
    void SetRotationVector(const Vector& degrees, bool freeze);
    const Vector& GetRotationVector() const { return m_rotation; }
    void SetRotationLimits(const Vector& minimum, const Vector& maximum);
    void SetRotationLimits2(float minX, float maxX, float minY, float maxY);
    // Degrees per second about X and Y.
    void SetRotationSpeed(float x, float y);
    // Degrees from the goal below which the speed falls off linearly.
    void SetRotationSlowDownZone(float x, float y);
    // Angular speeds (degrees per second) above which turning starts and below which it stops.
    void SetRotationCallbackSpeed(float start, float stop);
    void SetRotationCallbackListener(Entity* listener);
    void EnableAxis(bool x, bool y);
    void EnableStabilizer(bool on);
    void SetAimOffset(float offset) { m_aimOffset = offset; }
    void SetSpeedFactor(float factor) { m_speedFactor = factor; }
    // A clock of the caller's; the clock bits of the flags are cleared.
    void SetTimer(const AnimationClock* clock);

    bool HasTargetPoint() const { return m_hasTargetPoint != 0; }
    bool HasTargetEntity() const { return m_hasTargetEntity != 0; }
    uint32_t GetCallbackState() const { return m_callbackState; }
    const Vector& GetAngularVelocity() const { return m_angularVelocity; }
    // The angles (x pitch, y yaw; each clamped to the limits and wrapped into [0, 360)) that aim
    // the bone at the point, from its rest matrix, its parent's node matrix and the root matrix.
    Vector AnglesToward(const Vector& point, const AnimationSampleContext& context) const;

private:
    // The bone's matrix before its own rotation: rest local, then parent node, then root.
    Matrix BaseMatrix(const AnimationSampleContext& context) const;
    void Advance(const Vector& desired, float step);
    void RunCallbacks(float speedSquared);

    Vector m_rotationSpeed = Vector(90.0f, 90.0f, 90.0f, 0.0f);
    Vector m_slowDownZone = Vector(15.0f, 15.0f, 15.0f, 15.0f);
    Vector m_minimum = Vector(-180.0f, -180.0f, -180.0f, -180.0f);
    Vector m_maximum = Vector(180.0f, 180.0f, 180.0f, 180.0f);
    float m_startSpeedSquared = 1.0f;
    float m_stopSpeedSquared = 0.64f;
    float m_aimOffset = 0.0f;
    float m_speedFactor = 1.0f;
    uint8_t m_tracking = 1;
    uint8_t m_axisX = 1;
    uint8_t m_axisY = 1;
    uint8_t m_stabilizer = 0;
    Vector m_rotation;
    Vector m_aimPoint; // w 1 when valid
    uint8_t m_hasTargetEntity = 0;
    uint8_t m_hasTargetPoint = 0;
    Vector m_targetPoint = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    SafePointer<Entity> m_targetEntity;
    SafePointer<Entity> m_listener;
    Time m_callbackTimerStart;
    uint32_t m_callbackState = CALLBACK_STILL;
    Vector m_angularVelocity;
    // The bound bone and the skeleton it belongs to (set at binding).
    int32_t m_bone = -1;
    const MeshSkeleton* m_skeleton = nullptr;
    Time m_lastClockTime;
    bool m_clockStarted = false;
};
