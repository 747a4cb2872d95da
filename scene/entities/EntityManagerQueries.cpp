// The entity manager's spatial queries over its grid: the nearest flag and the line of sight.
#include "scene/entities/EntityManager.h"

#include "scene/entities/Entity.h"
#include "scene/entities/SpatialQueryWalk.h"

#include <cmath>

Entity* EntityManager::GetNearestFlag(const Vector& point, float range, const Entity* excluded,
                                      const Vector& direction, float minimumDot)
{
    float best = range * range;
    Entity* nearest = nullptr;
    EntityIndexMap& visited = EntityIndexMap::Scratch();
    visited.Clear();
    SpatialQueryWalk::ForEachCandidate(m_grid, SpatialQueryWalk::AroundPoint(point, range), 0, false, visited,
                                       [&](Entity* entity) {
                                           if (entity->GetTemplateTypeId() != ENTITY_FLAG || entity == excluded)
                                               return;
                                           Vector d;
                                           d.Sub(entity->GetGlobalPosition(), point);
                                           d.w = 0.0f;
                                           const float distance2 = d.Length2();
                                           // A flag at the point itself has no direction.
                                           if (distance2 <= 0.0001f)
                                               return;
                                           d.Mul(1.0f / std::sqrt(distance2));
                                           if (d.Dot3(direction) < minimumDot || !(distance2 < best))
                                               return;
                                           best = distance2;
                                           nearest = entity;
                                       });
    return nearest;
}
