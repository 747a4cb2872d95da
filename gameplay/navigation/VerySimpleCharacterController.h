// VerySimpleCharacterController: moves one entity as a sphere through the scene. Scripts push it
// with a velocity (it slides along the collision triangles of nearby meshes and of an optional
// constraint box, steps up small ledges and drops onto the ground), or send it along a path found
// on the scene's navigation grid, smoothed and followed at a set speed while the entity turns to
// face its way. A reachability test runs the same search without moving. Script class; one per
// moving entity, ticked by its script every frame. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/OBBox4.h"
#include "core/math/Vector.h"
#include "core/time/Time.h"
#include "gameplay/navigation/CollisionTriangle.h"
#include "gameplay/navigation/PathFinder.h"

#include <cstdint>
#include <memory>
#include <vector>

class Entity;
struct BoundingBox4;

// A sphere moved by scripts, with collision and path following.
class VerySimpleCharacterController
{
public:
    enum PathState : uint32_t
    {
        PATH_IDLE = 0,
        PATH_SEARCHING = 1,
        PATH_FOLLOWING = 2,
        PATH_TESTING = 3,
    };

    static constexpr float kDefaultCostLimit = 400.0f;
    // More sub-steps than this per move only cost time: a script-given radius near 0 would
    // otherwise ask for an unbounded number.
    static constexpr uint32_t kMaxSubSteps = 64;

    VerySimpleCharacterController(Entity* entity, float radius);
    ~VerySimpleCharacterController();
    VerySimpleCharacterController(const VerySimpleCharacterController&) = delete;
    VerySimpleCharacterController& operator=(const VerySimpleCharacterController&) = delete;

    void InitPathfinder();
    void Tick();
    void Move(const Vector& velocity);
    void SetPosition(const Vector& point);
    const Vector& GetPosition() const { return m_position; }
    void MoveToPoint(const Vector& point, float costLimit);
    void MoveToLastReachablePoint();
    void TestReachability(const Vector& point, float costLimit);
    void Stop(bool clearSearch);
    void SetPathMovementVelocity(float speed) { m_pathVelocity = speed; }
    bool HasBeenFollowingPathRecently(float seconds) const;
    bool IsIdle() const { return m_pathState == PATH_IDLE; }
    const Vector& GetLastPathSegmentDirection() const { return m_segmentDirection; }
    // True when the last test built a path, to its target or to the closest tile it could reach.
    bool GetReachabilityTestResult() const { return m_testResult; }
    const Vector& GetReachablePoint() const { return m_reachablePoint; }
    void FreezeYPosition(bool on);
    void SetAutoStepHeight(float height) { m_autoStepHeight = height; }
    void SetMoveConstraints(const OBBox4& box);
    void ResetMoveConstaints() { m_constraintTriangles.clear(); }
    void MoveAwayFromMySphere(const Vector& centre, const Vector& direction, float radius, Entity* ignore);

    uint32_t GetPathState() const { return m_pathState; }
    float GetRadius() const { return m_radius; }
    const std::vector<PathPoint>& GetPathPoints() const { return m_pathPoints; }
    const std::vector<CollisionTriangle>& GetCollisionTriangles() const { return m_triangles; }
    const std::vector<CollisionTriangle>& GetConstraintTriangles() const { return m_constraintTriangles; }

    // Collision gather over the constraint box and the meshes of the entity manager's grid under
    // `box`; the triangle count.
    uint32_t GatherCollision(const BoundingBox4& box, const Entity* ignore);

private:
    // The collide-and-slide loop along a unit direction.
    void Slide(const Vector& direction, float distance, bool stepping);
    void Drop(bool gravity);
    void RiseByStepHeight();
    void ApplyFrozenY();
    void MoveEntityToPosition();
    bool WalkOneStep();
    void ResetPath(bool clearSearch);
    void ShowDebugPath() const;
    float FrameSeconds() const;
    Time GameplayNow() const;
    Vector Origin() const;

    Vector m_position;
    Vector m_centreOffset;
    Vector m_up = Vector(0.0f, 1.0f, 0.0f, 0.0f);
    bool m_yFrozen = false;
    float m_frozenY = 0.0f;
    float m_radius = 0.0f;
    float m_fallSpeed = 10.0f;
    float m_autoStepHeight = 0.01f;
    std::vector<CollisionTriangle> m_triangles;
    SafePointer<Entity> m_entity;
    std::unique_ptr<PathFinder> m_pathFinder;
    std::vector<PathPoint> m_pathPoints;
    Time m_lastPathFollowTime;
    std::vector<CollisionTriangle> m_constraintTriangles;
    uint32_t m_pathState = PATH_IDLE;
    float m_pathVelocity = 1.0f;
    Vector m_segmentDirection;
    float m_segmentRemaining = 0.0f;
    uint32_t m_segmentIndex = 0;
    Vector m_reachablePoint = Vector(0.0f, 0.0f, 0.0f, 1.0f);
    bool m_testResult = false;
    // Scratch for mesh collision corners.
    std::vector<Vector> m_meshCorners;
};
