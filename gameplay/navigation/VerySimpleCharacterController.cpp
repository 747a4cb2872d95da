#include "gameplay/navigation/VerySimpleCharacterController.h"

#include "core/console/GameConsole.h"
#include "core/math/BoundingBox4.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/EngineConfig.h"
#include "gameplay/navigation/PathSmoothing.h"
#include "renderer/PathLineRenderer.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SpatialQueryWalk.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshRayPick.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kContactGap = 0.001f;
constexpr float kMinRemaining = 1e-5f;
constexpr float kHeadOnCosine = 0.9999f;
constexpr float kMinSlide2 = 0.0001f;
// cos 60 degrees: a steeper contact is a wall when dropping.
constexpr float kWallCosine = 0.5f;
constexpr float kMinStep = 0.01f;
constexpr float kRecentFollowSeconds = 0.3f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr uint32_t kEntityFlagNoCollision = 0x20;

// Corner triples of a box's 12 triangles (corner bit 0: max x, bit 1: max y, bit 2: max z).
constexpr uint8_t kBoxTriangles[12][3] = {{0, 1, 3}, {0, 3, 2}, {1, 5, 7}, {1, 7, 3}, {4, 7, 5}, {4, 6, 7},
                                          {0, 2, 4}, {2, 6, 4}, {2, 3, 7}, {2, 7, 6}, {0, 4, 1}, {4, 5, 1}};

float Dot3(const Vector& a, const Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector Cross3(const Vector& a, const Vector& b)
{
    return Vector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f);
}

Vector Scaled(const Vector& v, float s)
{
    return Vector(v.x * s, v.y * s, v.z * s, 0.0f);
}

void AddScaled(Vector& p, const Vector& v, float s)
{
    p.x += v.x * s;
    p.y += v.y * s;
    p.z += v.z * s;
}

bool Normalise3(Vector& v)
{
    const float length = std::sqrt(Dot3(v, v));
    if (!(length > 0.0f))
        return false;
    v.Set(v.x / length, v.y / length, v.z / length, 0.0f);
    return true;
}

BoundingBox4 BoxAround(const Vector& p, float ex, float ey, float ez)
{
    return BoundingBox4(Vector(p.x - ex, p.y - ey, p.z - ez, 1.0f), Vector(p.x + ex, p.y + ey, p.z + ez, 1.0f));
}

BoundingBox4 TriangleBox(const CollisionTriangle& t)
{
    return BoundingBox4(Vector(std::min({t.a.x, t.b.x, t.c.x}), std::min({t.a.y, t.b.y, t.c.y}),
                               std::min({t.a.z, t.b.z, t.c.z}), 1.0f),
                        Vector(std::max({t.a.x, t.b.x, t.c.x}), std::max({t.a.y, t.b.y, t.c.y}),
                               std::max({t.a.z, t.b.z, t.c.z}), 1.0f));
}

Vector WorldPoint(const Vector& local, const Matrix& world)
{
    Vector p = local;
    p.w = 1.0f;
    p.Transform3D(world);
    p.w = 1.0f;
    return p;
}
} // namespace

VerySimpleCharacterController::VerySimpleCharacterController(Entity* entity, float radius)
    : m_centreOffset(0.0f, radius, 0.0f, 0.0f), m_radius(radius), m_entity(entity)
{
    m_position = entity != nullptr ? entity->GetGlobalPosition() : Vector(0.0f, 0.0f, 0.0f, 1.0f);
    AddScaled(m_position, m_centreOffset, 1.0f);
    m_position.w = 1.0f;
}

VerySimpleCharacterController::~VerySimpleCharacterController() = default;

void VerySimpleCharacterController::InitPathfinder()
{
    if (m_pathFinder == nullptr)
        m_pathFinder = std::make_unique<PathFinder>();
}

float VerySimpleCharacterController::FrameSeconds() const
{
    return gGame.GetSmoothGameTimer().GetLastStep();
}

Time VerySimpleCharacterController::GameplayNow() const
{
    return gGame.GetSmoothGameplayTimer().GetTimeValue();
}

Vector VerySimpleCharacterController::Origin() const
{
    return Vector(m_position.x - m_centreOffset.x, m_position.y - m_centreOffset.y, m_position.z - m_centreOffset.z,
                  1.0f);
}

void VerySimpleCharacterController::ApplyFrozenY()
{
    if (m_yFrozen)
        m_position.y = m_frozenY;
}

void VerySimpleCharacterController::MoveEntityToPosition()
{
    if (Entity* const entity = m_entity.Get())
        entity->SetGlobalPosition(Origin());
}

void VerySimpleCharacterController::RiseByStepHeight()
{
    if (m_autoStepHeight > 0.0f)
        AddScaled(m_position, m_up, m_autoStepHeight);
}

uint32_t VerySimpleCharacterController::GatherCollision(const BoundingBox4& box, const Entity* ignore)
{
    m_triangles.clear();
    for (CollisionTriangle triangle : m_constraintTriangles)
    {
        // Outside the box the plane moves through the centre: the way back in stays open, the way
        // further out does not.
        const float d = triangle.SignedDistance(m_position);
        if (d < 0.0f)
        {
            AddScaled(triangle.a, triangle.plane, d);
            AddScaled(triangle.b, triangle.plane, d);
            AddScaled(triangle.c, triangle.plane, d);
            triangle.plane.w -= d;
        }
        m_triangles.push_back(triangle);
    }

    PathGrid& grid = gEntityManager.GetPathGrid();
    if (grid.IsEmpty())
        return uint32_t(m_triangles.size());
    EntityLayerMask visibleLayers;
    gEntityManager.GetLayerSystem().GetVisibleLayerMask(visibleLayers);
    EntityIndexMap& visited = EntityIndexMap::Scratch();
    visited.Clear();
    const Entity* const self = m_entity.Get();
    SpatialQueryWalk::ForEachCandidate(grid, box, 0, false, visited, [&](Entity* entity) {
        if (entity == self || entity == ignore || !entity->IsKindOf(MeshTemplate::kTypeId) ||
            entity->HasFlag(kEntityFlagNoCollision) || !entity->GetWorldBoundingBox().Overlaps3D(box) ||
            !visibleLayers.Test(entity->GetLayer()))
            return;
        const auto* const mesh = static_cast<const MeshEntity*>(entity);
        const MeshTemplate* const meshTemplate = mesh->GetMeshTemplate();
        if (meshTemplate == nullptr)
            return;
        const Matrix& world = entity->GetGlobalLocationMatrix();
        const bool mirrored = entity->IsTransformMirrored();
        auto add = [&](const Vector& a, const Vector& b, const Vector& c, bool inward) {
            CollisionTriangle triangle =
                CollisionTriangle::FromCorners(WorldPoint(a, world), WorldPoint(b, world), WorldPoint(c, world));
            if (!TriangleBox(triangle).Overlaps3D(box))
                return;
            if (mirrored != inward)
                triangle.NegatePlane();
            m_triangles.push_back(triangle);
        };
        if (meshTemplate->GetPlayerCollisionType() == MeshTemplate::COLLISION_BOX)
        {
            const BoundingBox4& local = meshTemplate->GetEffectiveCollisionBox();
            Vector corners[8];
            for (uint32_t i = 0; i < 8; ++i)
                local.GetVertex(corners[i], i);
            // The corner triples wind towards the inside; a box collides from outside, so its
            // planes are turned to face out (else a character would walk in through the near face).
            for (const auto& t : kBoxTriangles)
                add(corners[t[0]], corners[t[1]], corners[t[2]], true);
        }
        else if (meshTemplate->GetPlayerCollisionType() == MeshTemplate::COLLISION_FACE)
        {
            MeshRayPick::ReadCollisionTriangles(*meshTemplate, mesh->GetShaderPresetIndex(), m_meshCorners);
            for (size_t i = 0; i + 2 < m_meshCorners.size(); i += 3)
                add(m_meshCorners[i], m_meshCorners[i + 1], m_meshCorners[i + 2], false);
        }
    });
    return uint32_t(m_triangles.size());
}

void VerySimpleCharacterController::Slide(const Vector& direction, float distance, bool stepping)
{
    const Vector initial = direction;
    const float startHeight = m_position.y;
    Vector dir = direction;
    Vector skipped;
    bool facesOnly = false;
    uint32_t slides = 0;
    float remaining = distance;
    for (;;)
    {
        const SweepContact contact =
            SphereSweep::AgainstAll(m_triangles, m_position, m_radius, dir, remaining, facesOnly, skipped);
        if (!contact.hit || contact.distance >= remaining)
        {
            AddScaled(m_position, dir, remaining);
            break;
        }
        if (contact.distance > kContactGap)
            AddScaled(m_position, dir, contact.distance - kContactGap);
        const CollisionTriangle& hit = m_triangles[contact.triangle];
        Vector next;
        if (!stepping)
            next = Cross3(contact.normal, m_up);
        else if (Dot3(contact.normal, m_up) < kWallCosine && hit.HighestY() > startHeight)
            next = Vector(contact.normal.x + dir.x, contact.normal.y + dir.y, contact.normal.z + dir.z, 0.0f);
        else
            break;
        remaining -= contact.distance;
        facesOnly = true;
        if (!(remaining > kMinRemaining) || std::fabs(Dot3(dir, contact.normal)) >= kHeadOnCosine)
            break;
        if (Dot3(next, dir) < 0.0f)
            next = Scaled(next, -1.0f);
        if (slides > 0)
        {
            const float against = Dot3(next, initial);
            if (against < 0.0f)
                AddScaled(next, initial, -against);
        }
        if (!(Dot3(next, next) > kMinSlide2))
            break;
        Normalise3(next);
        dir = next;
        skipped = Vector(hit.plane.x, hit.plane.y, hit.plane.z, 0.0f);
        if (++slides > 2)
            break;
    }
    ApplyFrozenY();
}

void VerySimpleCharacterController::Drop(bool gravity)
{
    const float h = m_autoStepHeight + (gravity ? m_fallSpeed * FrameSeconds() : 0.0f);
    if (h > 1e-6f)
    {
        const float vertical = h * 1.1f + 0.1f;
        const BoundingBox4 box = BoxAround(m_position, m_radius, vertical + m_radius, m_radius);
        if (GatherCollision(box, nullptr) == 0)
            AddScaled(m_position, m_up, -h);
        else
            Slide(Scaled(m_up, -1.0f), h, true);
    }
    ApplyFrozenY();
}

void VerySimpleCharacterController::Move(const Vector& velocity)
{
    Stop(true);
    const float speed2 = Dot3(velocity, velocity);
    if (speed2 < 1e-6f)
        return;
    Entity* const entity = m_entity.Get();
    if (entity == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "VerySimpleCharacterController::Move: the controlled entity is gone");
        return;
    }
    const float dt = FrameSeconds();
    if (entity->HasFlag(kEntityFlagNoCollision))
    {
        AddScaled(m_position, velocity, dt);
        ApplyFrozenY();
        MoveEntityToPosition();
        return;
    }
    const float speed = std::sqrt(speed2);
    const float reach = speed * dt * 1.1f + m_radius + 0.1f;
    BoundingBox4 box = BoxAround(m_position, reach, reach, reach);
    if (m_autoStepHeight > 0.0f)
    {
        RiseByStepHeight();
        box.max.y += m_autoStepHeight;
    }
    if (GatherCollision(box, nullptr) == 0)
        AddScaled(m_position, velocity, dt);
    else
    {
        const float distance = speed * dt;
        float subStep = m_radius * 0.3f;
        uint32_t steps = subStep > 0.0f ? uint32_t(std::min(distance / subStep, float(kMaxSubSteps))) : 0;
        if (steps == kMaxSubSteps)
            subStep = distance / float(kMaxSubSteps + 1);
        const Vector direction = Scaled(velocity, 1.0f / speed);
        for (uint32_t i = 0; i < steps; ++i)
            Slide(direction, subStep, false);
        Slide(direction, distance - float(steps) * subStep, false);
    }
    Drop(false);
    ApplyFrozenY();
    MoveEntityToPosition();
}

void VerySimpleCharacterController::SetPosition(const Vector& point)
{
    Stop(true);
    m_position = Vector(point.x + m_centreOffset.x, point.y + m_centreOffset.y, point.z + m_centreOffset.z, 1.0f);
    ApplyFrozenY();
    if (Entity* const entity = m_entity.Get())
        entity->SetGlobalPosition(point);
}

void VerySimpleCharacterController::FreezeYPosition(bool on)
{
    if (on && !m_yFrozen)
        m_frozenY = m_position.y;
    m_yFrozen = on;
}

void VerySimpleCharacterController::SetMoveConstraints(const OBBox4& box)
{
    m_constraintTriangles.clear();
    Vector corners[8];
    for (uint32_t i = 0; i < 8; ++i)
    {
        const float sa = (i & 1) != 0 ? 1.0f : -1.0f;
        const float sb = (i & 2) != 0 ? 1.0f : -1.0f;
        const float sc = (i & 4) != 0 ? 1.0f : -1.0f;
        corners[i] = box.center;
        AddScaled(corners[i], box.extents[0], sa);
        AddScaled(corners[i], box.extents[1], sb);
        AddScaled(corners[i], box.extents[2], sc);
        corners[i].w = 1.0f;
    }
    for (const auto& t : kBoxTriangles)
    {
        CollisionTriangle triangle = CollisionTriangle::FromCorners(corners[t[0]], corners[t[1]], corners[t[2]]);
        // Face the inside: the centre must be in front of every plane.
        if (triangle.SignedDistance(box.center) < 0.0f)
            triangle.NegatePlane();
        m_constraintTriangles.push_back(triangle);
    }
}

void VerySimpleCharacterController::MoveAwayFromMySphere(const Vector& centre, const Vector& direction, float radius,
                                                         Entity* ignore)
{
    const float reachRadius = radius + m_radius;
    Vector offset(m_position.x - centre.x, m_position.y - centre.y, m_position.z - centre.z, 0.0f);
    if (!(Dot3(offset, offset) < reachRadius * reachRadius))
        return;
    AddScaled(offset, m_up, -Dot3(offset, m_up));
    Vector d = direction;
    d.w = 0.0f;
    if (!Normalise3(d))
        return;
    Vector side = Cross3(d, m_up);
    if (!Normalise3(side))
        return;
    const float across = Dot3(side, offset);
    const float along = Dot3(d, offset);
    const float push = std::sqrt(std::max(reachRadius * reachRadius - across * across, 0.0f)) - std::fabs(along);
    if (!(push > kContactGap))
        return;
    const Vector way = along < 0.0f ? Scaled(d, -1.0f) : d;
    const float reach = push * 1.1f + m_radius + 0.1f;
    BoundingBox4 box = BoxAround(m_position, reach, reach, reach);
    if (m_autoStepHeight > 0.0f)
    {
        RiseByStepHeight();
        box.max.y += m_autoStepHeight;
    }
    if (GatherCollision(box, ignore) == 0)
        AddScaled(m_position, way, push);
    else
        Slide(way, push, false);
    Drop(true);
    MoveEntityToPosition();
}

void VerySimpleCharacterController::ShowDebugPath() const
{
    const EngineConfig* const config = gNorvexEngine.GetConfig();
    if (config == nullptr || !config->m_renderPathfinderDebug)
        return;
    std::vector<Vector> points;
    points.reserve(m_pathPoints.size());
    for (const PathPoint& p : m_pathPoints)
        points.emplace_back(p.x, p.y, p.z, 1.0f);
    gPathLineRenderer.SetPoints(uint32_t(points.size()), points.data());
}

void VerySimpleCharacterController::ResetPath(bool clearSearch)
{
    m_pathState = PATH_IDLE;
    m_pathPoints.clear();
    if (clearSearch && m_pathFinder != nullptr)
        m_pathFinder->Reset(gEntityManager.GetNavigationGrid());
    m_segmentIndex = 0;
    m_segmentRemaining = 0.0f;
    m_segmentDirection = Vector();
    gPathLineRenderer.SetPoints(0, nullptr);
}

void VerySimpleCharacterController::Stop(bool clearSearch)
{
    if (m_pathState != PATH_IDLE)
        ResetPath(clearSearch);
}

void VerySimpleCharacterController::MoveToPoint(const Vector& point, float costLimit)
{
    if (m_pathFinder == nullptr)
        return;
    if (m_pathFinder->FindPath(gEntityManager.GetNavigationGrid(), Origin(), point, 0, costLimit))
        m_pathState = PATH_SEARCHING;
    else
        Stop(true);
}

void VerySimpleCharacterController::TestReachability(const Vector& point, float costLimit)
{
    if (m_pathFinder == nullptr)
        return;
    Stop(true);
    if (m_pathFinder->FindPath(gEntityManager.GetNavigationGrid(), m_position, point, 0, costLimit))
        m_pathState = PATH_TESTING;
    else
    {
        m_testResult = false;
        gPathLineRenderer.SetPoints(0, nullptr);
    }
}

void VerySimpleCharacterController::MoveToLastReachablePoint()
{
    if (m_pathState != PATH_IDLE)
    {
        ResetPath(true);
        return;
    }
    if (!m_testResult)
        return;
    m_testResult = false;
    m_segmentIndex = 0;
    m_segmentRemaining = 0.0f;
    m_pathState = PATH_FOLLOWING;
}

bool VerySimpleCharacterController::HasBeenFollowingPathRecently(float seconds) const
{
    return (GameplayNow() - m_lastPathFollowTime).ToSeconds() <= double(seconds);
}

bool VerySimpleCharacterController::WalkOneStep()
{
    float step = m_pathVelocity * FrameSeconds();
    bool goesOn = true;
    while (step > kMinStep)
    {
        if (m_segmentRemaining >= kMinStep)
        {
            const float advance = std::min(step, m_segmentRemaining);
            AddScaled(m_position, m_segmentDirection, advance);
            step -= advance;
            m_segmentRemaining -= advance;
            continue;
        }
        // The first point is where the walk started.
        if (++m_segmentIndex >= m_pathPoints.size())
        {
            goesOn = false;
            break;
        }
        const PathPoint& target = m_pathPoints[m_segmentIndex];
        const Vector origin = Origin();
        m_segmentDirection = Vector(target.x - origin.x, target.y - origin.y, target.z - origin.z, 0.0f);
        m_segmentRemaining = std::sqrt(Dot3(m_segmentDirection, m_segmentDirection));
        if (m_segmentRemaining > kMinStep)
            Normalise3(m_segmentDirection);
    }
    RiseByStepHeight();
    Drop(false);
    ApplyFrozenY();
    Entity* const entity = m_entity.Get();
    if (entity != nullptr)
        entity->SetGlobalPosition(Origin());
    if (goesOn && entity != nullptr)
    {
        const float yaw = std::atan2(m_segmentDirection.x, m_segmentDirection.z) * kDegreesPerRadian;
        entity->SetGlobalRotation(Vector(0.0f, yaw, 0.0f, 0.0f));
    }
    return goesOn;
}

void VerySimpleCharacterController::Tick()
{
    switch (m_pathState)
    {
    case PATH_SEARCHING:
    {
        if (!gGame.GetGameplayTimer().IsPaused() &&
            (GameplayNow() - m_lastPathFollowTime).ToSeconds() < double(kRecentFollowSeconds))
            WalkOneStep();
        if (m_pathFinder->AStarSearch(PathFinder::kFrameBudget) != 0)
            return;
        ResetPath(false);
        if (m_pathFinder->BuildPath(m_pathPoints))
        {
            PathSmoothing::Smooth(m_pathPoints);
            m_pathState = PATH_FOLLOWING;
        }
        ShowDebugPath();
        return;
    }
    case PATH_FOLLOWING:
        if (gGame.GetGameplayTimer().IsPaused())
        {
            m_lastPathFollowTime = GameplayNow();
            return;
        }
        if (!WalkOneStep())
            Stop(true);
        else
            m_lastPathFollowTime = GameplayNow();
        return;
    case PATH_TESTING:
    {
        if (m_pathFinder->AStarSearch(PathFinder::kFrameBudget) != 0)
            return;
        // A target that cannot be reached still answers true: the closest tile is the reachable point.
        m_testResult = m_pathFinder->BuildPath(m_pathPoints) && !m_pathPoints.empty();
        if (m_testResult)
        {
            PathSmoothing::Smooth(m_pathPoints);
            const PathPoint& last = m_pathPoints.back();
            m_reachablePoint = Vector(last.x, last.y, last.z, 1.0f);
        }
        m_pathState = PATH_IDLE;
        ShowDebugPath();
        return;
    }
    default:
        return;
    }
}
