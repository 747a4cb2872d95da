// Shared set-up of the scene tests: the scene classes registered, the entity manager running over
// a 1000 x 1000 scene of 10-unit cells, and templates made in memory. Every test ends with the
// scene destroyed, so no entity outlives it.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "engine/Game.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityIndexAllocator.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/EntityTemplate.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A box of half-size h around the origin.
inline BoundingBox4 CenteredBox(float h)
{
    return BoundingBox4(Vector(-h, -h, -h, 1.0f), Vector(h, h, h, 1.0f));
}

inline Matrix Translation(float x, float y, float z)
{
    Matrix m = Matrix::ONE;
    m.rows[3].Set(x, y, z, 1.0f);
    return m;
}

class SceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0.0f, -50.0f, 0.0f, 1.0f), Vector(1000.0f, 500.0f, 1000.0f, 1.0f)), 10.0f);
        m_template = MakeTemplate(CenteredBox(1.0f));
        m_log.Clear();
    }

    void TearDown() override
    {
        gGame.GetEntityLists().ClearEntityCallQueues();
        gEntityManager.DestroyScene();
        EXPECT_EQ(gEntityManager.GetLiveEntityCount(), 0u);
        EXPECT_EQ(EntityIndexAllocator::GetInUseCount(), 0u);
        gEntityManager.ClearMIDLookup();
        m_templates.clear();
    }

    EntityTemplate* MakeTemplate(const BoundingBox4& box, uint32_t typeId = 0)
    {
        m_templates.push_back(std::make_unique<EntityTemplate>());
        EntityTemplate* entityTemplate = m_templates.back().get();
        entityTemplate->SetStaticBoundingBox(box);
        entityTemplate->SetTypeId(typeId);
        return entityTemplate;
    }

    Entity* Create(Entity* parent = nullptr, const Matrix& local = Matrix::ONE, uint32_t flags = 0)
    {
        return gEntityManager.CreateEntity(m_template, parent, local, flags, nullptr);
    }

    Entity* Root() const { return gEntityManager.GetSceneRoot(); }

    ConsoleCapture m_log;
    EntityTemplate* m_template = nullptr;
    std::vector<std::unique_ptr<EntityTemplate>> m_templates;
};
