#include "scene/entities/EntityManager.h"

#include "scene/entities/PathGrid.h"
#include "support/SceneTestSupport.h"

#include <random>
#include <vector>

namespace
{
// Six inward planes of a view-projection matrix (rows as vectors).
void FrustumPlanes(const Matrix& m, Vector* planes)
{
    auto column = [&m](int c) { return Vector(m.At(0, c), m.At(1, c), m.At(2, c), m.At(3, c)); };
    const Vector c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    planes[0].Add(c3, c0);
    planes[1].Sub(c3, c0);
    planes[2].Add(c3, c1);
    planes[3].Sub(c3, c1);
    planes[4] = c2;
    planes[5].Sub(c3, c2);
}

class EntityManagerGatherTest : public SceneTest
{
protected:
    // The gather as a plain walk: cells in order, each entity once, the entity's own local box
    // under its world matrix tested against the planes.
    static std::vector<Entity*> Expected(const VisibleEntityGatherOptions& options)
    {
        std::vector<Entity*> out;
        PathGrid& grid = gEntityManager.GetPathGrid();
        const Entity::CellRange range = grid.ComputeRange(options.frustumBox);
        std::vector<bool> seen(kMaxEntities);
        for (int32_t z = range.z0; z < range.z1; ++z)
            for (int32_t x = range.x0; x < range.x1; ++x)
            {
                const PathGrid::Cell& cell = grid.GetCell(uint32_t(x), uint32_t(z));
                if (!cell.box.IntersectsFrustum(options.frustumPlanes))
                    continue;
                for (const PathGridEntry& entry : cell.lists[PathGrid::kRenderList])
                {
                    if (seen[entry.index])
                        continue;
                    seen[entry.index] = true;
                    if (entry.entity->GetLocalBoundingBox().IntersectsFrustumTransformed(
                            options.frustumPlanes, entry.entity->GetGlobalLocationMatrix()))
                        out.push_back(entry.entity);
                }
            }
        return out;
    }

    static std::vector<Entity*> Gathered(const VisibleEntityGatherOptions& options)
    {
        gEntityManager.ClearVisibleLists();
        gEntityManager.GatherVisibleEntities(options);
        const Dynarray<Entity*>& list = gEntityManager.GetVisibleList();
        std::vector<Entity*> out(list.begin(), list.end());
        gEntityManager.ClearVisibleLists();
        return out;
    }
};

TEST_F(EntityManagerGatherTest, FrustumCullingKeepsExactlyTheEntitiesWhoseOwnBoxMeetsTheView)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<EntityTemplate*> templates;
    for (float half : {0.2f, 1.0f, 4.0f, 15.0f})
        templates.push_back(MakeTemplate(CenteredBox(half)));
    std::vector<Entity*> entities;
    for (int i = 0; i < 400; ++i)
    {
        Entity* entity = gEntityManager.CreateEntity(templates[i % templates.size()], nullptr,
                                                     Translation(300 + unit(random) * 400, unit(random) * 40 - 20,
                                                                 300 + unit(random) * 400),
                                                     0, nullptr);
        entity->SetLocalRotation(Vector(unit(random) * 360, unit(random) * 360, unit(random) * 360, 0));
        // Long thin boxes at an angle are where a world box and the box itself disagree most.
        entity->SetLocalScale(Vector(i % 3 == 0 ? -6.0f : 1.0f, 0.5f + unit(random), 1.0f + unit(random) * 3, 0));
        entities.push_back(entity);
    }
    // A box that changes without a move (a template change) culls by its new size.
    for (int i = 0; i < 40; ++i)
        entities[size_t(i) * 10]->ChangeTemplate(templates[(size_t(i) + 1) % templates.size()]);

    int nonEmpty = 0;
    for (int view = 0; view < 40; ++view)
    {
        const Vector eye(300 + unit(random) * 400, 20 + unit(random) * 200, 300 + unit(random) * 400, 1);
        const Vector target(300 + unit(random) * 400, 0, 300 + unit(random) * 400, 1);
        Matrix lookAt, projection, viewProjection;
        lookAt.LoadLookAtLH(eye, target, Vector(0, 1, 0, 0));
        projection.LoadPerspectiveFovLH(30.0f + unit(random) * 60.0f, 16.0f / 9.0f, 1.0f, 50.0f + unit(random) * 300.0f);
        viewProjection.Mul(projection, lookAt);
        Vector planes[6];
        FrustumPlanes(viewProjection, planes);
        VisibleEntityGatherOptions options;
        options.frustumPlanes = planes;
        options.frustumBox = BoundingBox4(Vector(310, -50, 310, 1), Vector(690, 500, 690, 1)); // ends in filled cells
        const std::vector<Entity*> expected = Expected(options);
        ASSERT_EQ(Gathered(options), expected) << "view " << view;
        nonEmpty += expected.empty() ? 0 : 1;
    }
    EXPECT_GT(nonEmpty, 20);
}
} // namespace
