#include "scene/entities/PathGrid.h"

#include "support/SceneTestSupport.h"

#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace
{
using PathGridTest = SceneTest;

// The cells a world box covers, computed the slow way: every cell whose x/z square the box
// touches, with boxes outside the grid clamped onto its border cells.
Entity::CellRange BruteForceRange(const BoundingBox4& box)
{
    Entity::CellRange range;
    const PathGrid& grid = gEntityManager.GetPathGrid();
    const auto bounded = [](float v) { return std::fabs(v) < std::numeric_limits<float>::max(); };
    if (!box.IsValid3() || !bounded(box.min.x) || !bounded(box.max.x) || !bounded(box.min.z) || !bounded(box.max.z) ||
        !bounded(box.min.y) || !bounded(box.max.y))
        return range;
    const float size = grid.GetCellSize();
    const float minX = grid.GetBounds().min.x;
    const float minZ = grid.GetBounds().min.z;
    int32_t x0 = int32_t(grid.GetCountX()), x1 = -1, z0 = int32_t(grid.GetCountZ()), z1 = -1;
    for (int32_t x = 0; x < int32_t(grid.GetCountX()); ++x)
    {
        const float low = minX + float(x) * size;
        const bool first = x == 0;
        const bool last = x == int32_t(grid.GetCountX()) - 1;
        if ((first || box.max.x >= low) && (last || box.min.x < low + size))
        {
            x0 = std::min(x0, x);
            x1 = std::max(x1, x + 1);
        }
    }
    for (int32_t z = 0; z < int32_t(grid.GetCountZ()); ++z)
    {
        const float low = minZ + float(z) * size;
        const bool first = z == 0;
        const bool last = z == int32_t(grid.GetCountZ()) - 1;
        if ((first || box.max.z >= low) && (last || box.min.z < low + size))
        {
            z0 = std::min(z0, z);
            z1 = std::max(z1, z + 1);
        }
    }
    if (x1 < 0 || z1 < 0)
        return range;
    range.x0 = x0;
    range.x1 = x1;
    range.z0 = z0;
    range.z1 = z1;
    return range;
}

bool InRange(const Entity::CellRange& range, uint32_t x, uint32_t z)
{
    return !range.IsNone() && int32_t(x) >= range.x0 && int32_t(x) < range.x1 && int32_t(z) >= range.z0 &&
           int32_t(z) < range.z1;
}

// Every cell entry names a live entity whose range covers the cell, lists are sorted, and every
// entity's range is what its world box asks for.
void CheckGrid(const std::vector<SafePointer<Entity>>& entities)
{
    const PathGrid& grid = gEntityManager.GetPathGrid();
    std::set<const Entity*> live;
    std::set<uint32_t> indices;
    for (const SafePointer<Entity>& pointer : entities)
    {
        Entity* e = pointer.Get();
        if (e == nullptr)
            continue;
        live.insert(e);
        ASSERT_LT(e->GetIndex(), kMaxEntities);
        ASSERT_TRUE(indices.insert(e->GetIndex()).second) << "index " << e->GetIndex() << " given twice";
        const Entity::CellRange expected = BruteForceRange(e->GetWorldBoundingBox());
        const bool query = !e->HasFlag(ENTITYFLAG_DISABLE_UPDATE | ENTITYFLAG_NO_SPATIAL_QUERIES);
        const bool render = !e->HasFlag(ENTITYFLAG_DISABLE_UPDATE | ENTITYFLAG_NO_RENDERING_CONTEXT);
        ASSERT_TRUE(e->GetCellRange(PathGrid::kQueryList) == (query ? expected : Entity::CellRange()));
        ASSERT_TRUE(e->GetCellRange(PathGrid::kRenderList) == (render ? expected : Entity::CellRange()));
    }
    live.insert(gEntityManager.GetSceneRoot());
    size_t entries[2] = {0, 0};
    for (uint32_t z = 0; z < grid.GetCountZ(); ++z)
        for (uint32_t x = 0; x < grid.GetCountX(); ++x)
            for (int list = 0; list < 2; ++list)
            {
                const PathGridCellList& cell = grid.GetCell(x, z).lists[list];
                for (int32_t i = 0; i < cell.Count(); ++i)
                {
                    const PathGridEntry& entry = cell[i];
                    ASSERT_TRUE(live.count(entry.entity)) << "stale entry in cell " << x << "," << z;
                    ASSERT_EQ(entry.index, entry.entity->GetIndex());
                    ASSERT_EQ(entry.typeId, entry.entity->GetTemplateTypeId());
                    ASSERT_TRUE(InRange(entry.entity->GetCellRange(list), x, z));
                    if (i > 0)
                    {
                        ASSERT_LT(cell[i - 1].index, entry.index);
                    }
                }
                entries[list] += size_t(cell.Count());
            }
    // Each entity is in exactly the cells of its ranges.
    size_t expected[2] = {0, 0};
    for (const Entity* e : live)
        for (int list = 0; list < 2; ++list)
        {
            const Entity::CellRange& r = e->GetCellRange(list);
            if (!r.IsNone())
                expected[list] += size_t(r.x1 - r.x0) * size_t(r.z1 - r.z0);
        }
    ASSERT_EQ(entries[0], expected[0]);
    ASSERT_EQ(entries[1], expected[1]);
}

TEST_F(PathGridTest, RandomMovesReparentsRescalesAndDeletesKeepTheGridExact)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> position(-100.0f, 1100.0f);
    std::uniform_real_distribution<float> scale(0.1f, 40.0f);
    std::uniform_int_distribution<int> action(0, 9);
    std::vector<SafePointer<Entity>> entities;
    for (int i = 0; i < 200; ++i)
        entities.emplace_back(Create(nullptr, Translation(position(random), 0.0f, position(random))));
    for (int step = 0; step < 3000; ++step)
    {
        SafePointer<Entity>& slot = entities[random() % entities.size()];
        Entity* e = slot.Get();
        if (e == nullptr)
        {
            slot.Set(Create(nullptr, Translation(position(random), 0.0f, position(random))));
            continue;
        }
        switch (action(random))
        {
        case 0:
        case 1:
        case 2:
            e->SetLocalPosition(Vector(position(random), position(random) * 0.1f, position(random), 1.0f));
            break;
        case 3:
            e->SetLocalScale(Vector(scale(random), 1.0f, scale(random), 1.0f));
            break;
        case 4:
        {
            Entity* parent = entities[random() % entities.size()].Get();
            e->SetParentInPlace(parent);
            break;
        }
        case 5:
            e->SetLocalRotation(Vector(0.0f, float(random() % 360), 0.0f, 1.0f));
            break;
        case 6:
            e->DeleteMe();
            break;
        case 7:
            if (e->HasFlag(ENTITYFLAG_DISABLE_UPDATE))
                e->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
            else
                e->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
            break;
        case 8:
            if (e->HasFlag(ENTITYFLAG_NO_SPATIAL_QUERIES))
                e->ClearFlag(ENTITYFLAG_NO_SPATIAL_QUERIES | ENTITYFLAG_NO_RENDERING_CONTEXT, true);
            else
                e->RaiseFlag(random() % 2 ? ENTITYFLAG_NO_SPATIAL_QUERIES : ENTITYFLAG_NO_RENDERING_CONTEXT, true);
            break;
        default:
            e->SetGlobalPosition(Vector(position(random), 0.0f, position(random), 1.0f));
            break;
        }
        ASSERT_NO_FATAL_FAILURE(CheckGrid(entities)) << "after step " << step;
    }
    gEntityManager.NewScene();
    for (const SafePointer<Entity>& pointer : entities)
        EXPECT_FALSE(pointer);
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
}

// A box two units wide moved along x over 10-unit cells: its edges on a cell edge, a float short
// of one, below and above the grid. Each move is seen at once by the segment walk and the cells,
// whether it stayed in its cells or crossed, and an entity deleted right after crossing leaves
// no entry behind.
TEST_F(PathGridTest, MovesAcrossCellEdgesAreSeenAtOnceByEveryReader)
{
    struct Row
    {
        float x;
        int32_t x0;
        int32_t x1;
    };
    const Row rows[] = {
        {15.0f, 1, 2},
        {16.0f, 1, 2},
        {11.0f, 1, 2},
        {std::nextafter(11.0f, 0.0f), 0, 2},
        {9.0f, 0, 2},
        {std::nextafter(9.0f, 0.0f), 0, 1},
        {9.0f, 0, 2},
        {0.5f, 0, 1},
        {-50.0f, 0, 1},
        {505.0f, 50, 51},
        {999.0f, 99, 100},
        {990.0f, 98, 100},
        {2000.0f, 99, 100},
        {995.0f, 99, 100},
        {15.0f, 1, 2},
    };
    Entity* moved = Create(nullptr, Translation(500.0f, 0.0f, 505.0f));
    std::vector<SafePointer<Entity>> entities = {SafePointer<Entity>(moved),
                                                 SafePointer<Entity>(Create(nullptr, Translation(15.0f, 0.0f, 505.0f)))};
    PathGridSegmentHit hits[4];
    for (const Row& row : rows)
    {
        moved->SetLocalPosition(Vector(row.x, 0.0f, 505.0f, 1.0f));
        if (row.x > 0.0f && row.x < 1000.0f)
        {
            const int32_t count =
                gEntityManager.GetPathGrid().CheckLineOfSight(Vector(row.x, 0.0f, 495.0f, 1.0f), Vector(row.x, 0.0f, 515.0f, 1.0f), hits, 4);
            bool found = false;
            for (int32_t i = 0; i < count; ++i)
                found = found || hits[i].entity == moved;
            EXPECT_TRUE(found) << "x " << row.x;
        }
        for (int list = 0; list < 2; ++list)
        {
            const Entity::CellRange range = moved->GetCellRange(list);
            EXPECT_EQ(range.x0, row.x0) << "x " << row.x << ", list " << list;
            EXPECT_EQ(range.x1, row.x1) << "x " << row.x << ", list " << list;
            EXPECT_EQ(range.z0, 50);
            EXPECT_EQ(range.z1, 51);
        }
        ASSERT_NO_FATAL_FAILURE(CheckGrid(entities)) << "x " << row.x;
    }
    moved->SetLocalPosition(Vector(995.0f, 0.0f, 505.0f, 1.0f));
    moved->DeleteMe();
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
}

TEST_F(PathGridTest, CrowdedCellsSpillOutOfTheCellAndStayExact)
{
    // Thirty entities milling over four cells: most cells hold more entries than fit inside them.
    EntityTemplate* typed = MakeTemplate(CenteredBox(1.0f), 7);
    std::mt19937 random(99);
    std::uniform_real_distribution<float> position(38.0f, 62.0f);
    std::vector<SafePointer<Entity>> entities;
    const auto create = [&] {
        return gEntityManager.CreateEntity(typed, nullptr, Translation(position(random), 0.0f, position(random)), 0,
                                           nullptr);
    };
    for (int i = 0; i < 30; ++i)
        entities.emplace_back(create());
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
    const PathGrid& grid = gEntityManager.GetPathGrid();
    EXPECT_TRUE(grid.GetCell(4, 4).lists[PathGrid::kQueryList].IsSpilled());
    EXPECT_TRUE(grid.GetCell(5, 5).lists[PathGrid::kRenderList].IsSpilled());
    for (int step = 0; step < 600; ++step)
    {
        SafePointer<Entity>& slot = entities[random() % entities.size()];
        if (slot.Get() == nullptr)
            slot.Set(create());
        else if (random() % 8 == 0)
            slot->DeleteMe();
        else
            slot->SetLocalPosition(Vector(position(random), 0.0f, position(random), 1.0f));
        ASSERT_NO_FATAL_FAILURE(CheckGrid(entities)) << "after step " << step;
    }
}

TEST_F(PathGridTest, ANewSceneEmptiesEveryCellAndTheNextSceneFillsThemAgain)
{
    // Entities that only entered cells, never left one: the emptying must still find them.
    std::vector<SafePointer<Entity>> entities;
    for (int i = 0; i < 20; ++i)
        entities.emplace_back(Create(nullptr, Translation(float(i) * 37.0f, 0.0f, float(i) * 23.0f)));
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
    gEntityManager.NewScene();
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
    gEntityManager.NewScene();
    entities.clear();
    for (int i = 0; i < 20; ++i)
        entities.emplace_back(Create(nullptr, Translation(float(i) * 23.0f, 0.0f, float(i) * 37.0f)));
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
    gEntityManager.NewScene();
    ASSERT_NO_FATAL_FAILURE(CheckGrid(entities));
}

TEST_F(PathGridTest, EmptyAndUnboundedBoxesEnterNoCell)
{
    EntityTemplate* empty = MakeTemplate(BoundingBox4::INVALID);
    EntityTemplate* unbounded = MakeTemplate(BoundingBox4::UNBOUNDED);
    Entity* a = gEntityManager.CreateEntity(empty, nullptr, Translation(5, 0, 5), 0, nullptr);
    Entity* b = gEntityManager.CreateEntity(unbounded, nullptr, Translation(5, 0, 5), 0, nullptr);
    EXPECT_TRUE(a->GetCellRange(PathGrid::kQueryList).IsNone());
    EXPECT_TRUE(b->GetCellRange(PathGrid::kQueryList).IsNone());
    EXPECT_TRUE(b->GetCellRange(PathGrid::kRenderList).IsNone());
}

TEST_F(PathGridTest, HugeCoordinatesAreClampedOntoTheBorderCells)
{
    Entity* far = Create(nullptr, Translation(3.0e38f, 0.0f, -3.0e38f));
    const Entity::CellRange& range = far->GetCellRange(PathGrid::kQueryList);
    EXPECT_EQ(range.x0, 99);
    EXPECT_EQ(range.x1, 100);
    EXPECT_EQ(range.z0, 0);
    EXPECT_EQ(range.z1, 1);
    Entity* nan = Create(nullptr, Translation(std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f));
    EXPECT_TRUE(nan->GetCellRange(PathGrid::kQueryList).IsNone());
}

TEST_F(PathGridTest, TheGridIsBuiltFromRoundedCountsAndItsHeightCanChange)
{
    PathGrid grid;
    grid.Build(BoundingBox4(Vector(0, 0, 0, 1), Vector(96, 10, 95, 1)), 10.0f);
    EXPECT_EQ(grid.GetCountX(), 10u);
    EXPECT_EQ(grid.GetCountZ(), 10u);
    EXPECT_FLOAT_EQ(grid.GetCell(3, 2).box.min.x, 30.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(3, 2).box.max.z, 30.0f);
    grid.SetHeightRange(-5.0f, 7.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(9, 9).box.max.y, 7.0f);
    // Either end alone changes too.
    grid.SetHeightRange(-5.0f, 8.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(9, 9).box.max.y, 8.0f);
    grid.SetHeightRange(-6.0f, 8.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(0, 9).box.min.y, -6.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(0, 9).box.max.y, 8.0f);
    // The same bounds at another cell size make new cells.
    grid.Build(BoundingBox4(Vector(0, -6, 0, 1), Vector(96, 8, 95, 1)), 5.0f);
    EXPECT_EQ(grid.GetCountX(), 19u);
    grid.Build(BoundingBox4(Vector(0, 0, 0, 1), Vector(4, 10, 100, 1)), 10.0f);
    EXPECT_TRUE(grid.IsEmpty());
    // Bounds at the edge of the float range are unbounded, on the height alone too.
    constexpr float kMax = std::numeric_limits<float>::max();
    grid.Build(BoundingBox4(Vector(0, -kMax, 0, 1), Vector(96, kMax, 95, 1)), 10.0f);
    EXPECT_TRUE(grid.IsEmpty());
    grid.SetHeightRange(-1.0f, 1.0f); // the refused grid has no cell left to raise
}

// A grid whose cells take a large page's worth or more starts on a large page boundary; smaller
// ones on a cell's own alignment.
TEST_F(PathGridTest, LargeGridsStartOnALargePage)
{
    const struct
    {
        float extent;
        uintptr_t alignment;
    } cases[] = {{40.0f, alignof(PathGrid::Cell)}, {1300.0f, uintptr_t(2) << 20}};
    for (const auto& c : cases)
    {
        PathGrid grid;
        grid.Build(BoundingBox4(Vector(0, 0, 0, 1), Vector(c.extent, 10, c.extent, 1)), 10.0f);
        const uintptr_t first = reinterpret_cast<uintptr_t>(&grid.GetCell(0, 0));
        EXPECT_EQ(first % c.alignment, 0u) << c.extent;
        // The last cell is there to be written, as every one between.
        const uint32_t last = grid.GetCountX() - 1;
        EXPECT_FLOAT_EQ(grid.GetCell(last, last).box.max.x, c.extent) << c.extent;
        EXPECT_TRUE(grid.GetCell(last, last).lists[PathGrid::kQueryList].IsEmpty()) << c.extent;
    }
}

TEST_F(PathGridTest, GatheringTestsEachEntityOnceAgainstLayerFlagsAndFrustum)
{
    ASSERT_TRUE(m_template->GetClassProperties()->FindProperty("Minimum quality level")->SetFromText(m_template, "2"));
    Entity* big = gEntityManager.CreateEntity(MakeTemplate(CenteredBox(25.0f)), nullptr, Translation(50, 0, 50), 0, nullptr);
    Entity* small = Create(nullptr, Translation(52, 0, 52));
    Entity* hidden = Create(nullptr, Translation(54, 0, 54));
    hidden->RaiseFlag(ENTITYFLAG_HIDDEN, false);
    Entity* otherLayer = Create(nullptr, Translation(56, 0, 56));
    otherLayer->SetLayer(13);
    Create(nullptr, Translation(500, 0, 500));
    uint8_t layers[32] = {};
    layers[0] = 0x02;
    layers[1] = 0x02; // layer 9
    VisibleEntityGatherOptions options;
    options.frustumBox = BoundingBox4(Vector(0, -50, 0, 1), Vector(100, 50, 100, 1));
    options.layerMask = layers;
    options.excludedFlags = ENTITYFLAG_HIDDEN;
    options.qualityLevel = 2; // exactly the level the small ones ask for
    gEntityManager.ClearVisibleLists();
    gEntityManager.GatherVisibleEntities(options);
    const Dynarray<Entity*>& visible = gEntityManager.GetVisibleList();
    ASSERT_EQ(visible.Count(), 2);
    EXPECT_TRUE((visible[0] == big && visible[1] == small) || (visible[0] == small && visible[1] == big));
    // An entity deleted after the gather leaves the list, and the late list the scene pass makes.
    gEntityManager.GetDeferredRenderList().Add(small);
    small->DeleteMe();
    EXPECT_EQ(gEntityManager.GetVisibleList().Count(), 1);
    EXPECT_TRUE(gEntityManager.GetDeferredRenderList().IsEmpty());
}
} // namespace
