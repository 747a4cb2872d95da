// Entities for line-of-sight tests: each is hit where a segment crosses its world box (unless it is a
// ghost) and counts how often it was asked; a fixture places them and computes where a segment
// enters a box, for brute-force references. Test thread only.
#pragma once

#include "support/SceneTestSupport.h"

#include <memory>
#include <vector>

class BoxPickEntity : public Entity
{
public:
    bool RayPick(const Vector& start, const Vector& end, uint32_t flags, uint32_t mask, LOSResult& result) override
    {
        ++asks;
        lastFlags = flags;
        lastMask = mask;
        if (nested)
        {
            LOSResult inner;
            nestedClear = gEntityManager.LOS(start, end, 0, inner, 0, nullptr, nullptr);
        }
        Vector hit;
        if (ghost || !GetWorldBoundingBox().CollidesWithSegment3D(start, end, hit))
            return true;
        result.hit = 1;
        result.entity = this;
        result.hitPoint = hit;
        result.direction.Sub(end, start);
        return false;
    }
    int asks = 0;
    bool ghost = false;
    // Asks a line-of-sight query of its own from inside the pick and keeps its answer.
    bool nested = false;
    bool nestedClear = false;
    uint32_t lastFlags = 0;
    uint32_t lastMask = 0;
};

class BoxPickTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new BoxPickEntity; }
};

class BoxPickSceneTest : public SceneTest
{
protected:
    BoxPickEntity* Make(const Vector& at, float half)
    {
        m_pickTemplates.push_back(std::make_unique<BoxPickTemplate>());
        m_pickTemplates.back()->SetStaticBoundingBox(CenteredBox(half));
        return static_cast<BoxPickEntity*>(
            gEntityManager.CreateEntity(m_pickTemplates.back().get(), nullptr, Translation(at.x, at.y, at.z), 0, nullptr));
    }
    // The fraction at which the segment enters the entity's box, negative when it misses it.
    static float Entry(Entity* entity, const Vector& start, const Vector& end)
    {
        Vector hit;
        if (!entity->GetWorldBoundingBox().CollidesWithSegment3D(start, end, hit))
            return -1.0f;
        Vector d, along;
        d.Sub(end, start);
        along.Sub(hit, start);
        return along.Dot3(d) / d.Dot3(d);
    }
    std::vector<std::unique_ptr<BoxPickTemplate>> m_pickTemplates;
};
