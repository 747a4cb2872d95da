#include "scene/entities/Entity.h"
#include "platform/gpu/Gpu.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntitySpatialTable.h"

#include "support/SceneTestSupport.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace
{
using EntityTransformTest = SceneTest;

Matrix Scale(float x, float y, float z)
{
    Matrix m;
    m.LoadScale(Vector(x, y, z, 1.0f));
    return m;
}

TEST_F(EntityTransformTest, ALocalMoveReachesEveryDescendantInOneCall)
{
    Entity* parent = Create(nullptr, Translation(10, 0, 0));
    Entity* child = Create(parent, Translation(1, 2, 3));
    Entity* grandchild = Create(child, Translation(0, 0, 1));
    parent->SetLocalPosition(Vector(20, 5, 0, 1));
    EXPECT_FLOAT_EQ(grandchild->GetGlobalPosition().x, 21.0f);
    EXPECT_FLOAT_EQ(grandchild->GetGlobalPosition().y, 7.0f);
    EXPECT_FLOAT_EQ(grandchild->GetGlobalPosition().z, 4.0f);
    // The grid follows too.
    EXPECT_EQ(grandchild->GetCellRange(PathGrid::kQueryList).x0, 2);
}

TEST_F(EntityTransformTest, AnEntityTakingAFreedIndexStartsAtTheIdentityWithNoBoxAndNoCells)
{
    Entity* moved = Create(nullptr, Translation(30, 0, 30));
    moved->SetLocalPosition(Vector(40, 0, 40, 1));
    const uint32_t index = moved->GetIndex();
    ASSERT_FALSE(moved->GetCellRange(PathGrid::kRenderList).IsNone());
    moved->DeleteMe();
    // Made but not yet placed: all it has is what the index's record starts with.
    Entity* fresh = m_template->CreateEntity();
    ASSERT_EQ(fresh->GetIndex(), index);
    EXPECT_TRUE(fresh->GetLocalLocationMatrix().Equals(Matrix::ONE));
    EXPECT_TRUE(fresh->GetGlobalLocationMatrix().Equals(Matrix::ONE));
    EXPECT_EQ(fresh->GetLocalBoundingBox(), BoundingBox4::INVALID);
    EXPECT_EQ(fresh->GetWorldBoundingBox(), BoundingBox4::INVALID);
    EXPECT_TRUE(fresh->GetCellRange(PathGrid::kQueryList) == Entity::CellRange());
    EXPECT_TRUE(fresh->GetCellRange(PathGrid::kRenderList) == Entity::CellRange());
    fresh->DeleteMe();
}

// A box given after the entity's last move (here a template edit; an effect's bounds measured on
// the render thread take the same path) moves its cells and world box at once: none for an empty
// box, then the 10-unit cells it covers.
TEST_F(EntityTransformTest, ABoxSetAfterTheLastMoveMovesTheEntitysCells)
{
    m_template = MakeTemplate(BoundingBox4::INVALID);
    Entity* entity = Create(nullptr, Translation(35, 0, 45));
    ASSERT_TRUE(entity->GetCellRange(PathGrid::kRenderList).IsNone());
    const struct
    {
        float half;
        EntityCellRange cells;
    } rows[] = {{1.0f, {3, 4, 4, 5}}, {10.0f, {2, 3, 5, 6}}, {-1.0f, {}}};
    for (const auto& row : rows)
    {
        const BoundingBox4 box = row.half > 0.0f ? CenteredBox(row.half) : BoundingBox4::INVALID;
        m_template->SetStaticBoundingBox(box);
        entity->ResetBoundsFromTemplate("Static bounding box");
        for (int list : {PathGrid::kQueryList, PathGrid::kRenderList})
            EXPECT_TRUE(entity->GetCellRange(list) == row.cells) << "half size " << row.half << ", list " << list;
        if (row.half > 0.0f)
            EXPECT_EQ(entity->GetWorldBoundingBox(), BoundingBox4(Vector(35 - row.half, -row.half, 45 - row.half, 1),
                                                                  Vector(35 + row.half, row.half, 45 + row.half, 1)));
        else
            EXPECT_EQ(entity->GetWorldBoundingBox(), BoundingBox4::INVALID);
    }
}

TEST_F(EntityTransformTest, RotationOfTheParentTurnsTheChildOffset)
{
    Entity* parent = Create();
    Entity* child = Create(parent, Translation(1, 0, 0));
    parent->SetLocalRotation(Vector(0, 90, 0, 1));
    // Row vectors: the child offset is turned by the parent's rotation, then moved.
    EXPECT_NEAR(child->GetGlobalPosition().x, 0.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(child->GetGlobalPosition().z), 1.0f, 1e-5f);
    EXPECT_NEAR(child->GetGlobalRotation().y, 90.0f, 1e-3f);
    // Placed where it stands under a turned and moved parent, the child keeps its offset.
    parent->SetLocalPosition(Vector(5, 0, 0, 1));
    child->SetGlobalPosition(child->GetGlobalPosition());
    EXPECT_NEAR(child->GetLocalPosition().x, 1.0f, 1e-5f);
}

TEST_F(EntityTransformTest, NoScaleFromParentKeepsSizeButFollowsPlaceAndTurn)
{
    Entity* parent = Create();
    parent->SetLocalScale(Vector(2, 2, 2, 1));
    parent->SetLocalPosition(Vector(5, 0, 0, 1));
    Entity* scaled = Create(parent, Translation(1, 0, 0));
    Entity* unscaled = Create(parent, Translation(1, 0, 0));
    unscaled->RaiseFlag(ENTITYFLAG_PARENTNOSCALE, false);
    unscaled->SetLocalPosition(Vector(1, 0, 0, 1));
    EXPECT_NEAR(scaled->GetGlobalScale().x, 2.0f, 1e-5f);
    EXPECT_NEAR(unscaled->GetGlobalScale().x, 1.0f, 1e-5f);
    EXPECT_NEAR(unscaled->GetGlobalScale().z, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(scaled->GetGlobalPosition().x, 7.0f);
    EXPECT_FLOAT_EQ(unscaled->GetGlobalPosition().x, 6.0f);
    EXPECT_NEAR(unscaled->GetWorldBoundingBox().max.x - unscaled->GetWorldBoundingBox().min.x, 2.0f, 1e-5f);
    // Scaled by the parent again, a move alone must remake the axes the unscaled product left.
    unscaled->ClearFlag(ENTITYFLAG_PARENTNOSCALE, false);
    unscaled->SetLocalPosition(Vector(1, 0, 0, 1));
    EXPECT_NEAR(unscaled->GetGlobalScale().x, 2.0f, 1e-5f);
}

TEST_F(EntityTransformTest, NegativeScaleMirrorsAndBackClears)
{
    Entity* e = Create();
    e->SetLocalScale(Vector(-1, 1, 1, 1));
    EXPECT_TRUE(e->IsTransformMirrored());
    EXPECT_EQ(e->GetLocalScale().x, -1.0f) << "as given, not as a rotation and a positive scale";
    e->SetLocalScale(Vector(1, 1, 1, 1));
    EXPECT_FALSE(e->IsTransformMirrored());
    e->SetLocalLocationMatrix(Scale(1, -2, 1));
    EXPECT_TRUE(e->IsTransformMirrored());
    // Permuted axes, one flipped: only the z product of the expansion is non-zero.
    Matrix turned = Matrix::ONE;
    turned.rows[0].Set(0, 0, -1, 0);
    turned.rows[1].Set(1, 0, 0, 0);
    turned.rows[2].Set(0, 1, 0, 0);
    e->SetLocalLocationMatrix(turned);
    EXPECT_TRUE(e->IsTransformMirrored());
    // Two axes swapped: only the y or the z product of the expansion is non-zero, a subtracted one.
    for (int other : {1, 2})
    {
        Matrix swapped = Matrix::ONE;
        std::swap(swapped.rows[0], swapped.rows[other]);
        e->SetLocalLocationMatrix(swapped);
        EXPECT_TRUE(e->IsTransformMirrored()) << "x swapped with axis " << other;
    }
    e->RaiseFlag(ENTITYFLAG_PARENTNOSCALE, false);
    e->SetLocalLocationMatrix(Matrix::ONE);
    EXPECT_FALSE(e->IsTransformMirrored());
}

TEST_F(EntityTransformTest, GlobalRotationAndScaleAreReadAfreshWhenTheParentMoves)
{
    Entity* parent = Create();
    Entity* child = Create(parent);
    EXPECT_NEAR(child->GetGlobalRotation().y, 0.0f, 1e-4f);
    EXPECT_NEAR(child->GetGlobalScale().x, 1.0f, 1e-5f);
    parent->SetLocalRotation(Vector(0, 45, 0, 1));
    EXPECT_NEAR(child->GetGlobalRotation().y, 45.0f, 1e-3f);
    EXPECT_NEAR(child->GetLocalRotation().y, 0.0f, 1e-4f);
    parent->SetLocalScale(Vector(2, 2, 2, 1));
    EXPECT_NEAR(child->GetGlobalScale().x, 2.0f, 1e-5f);
}

TEST_F(EntityTransformTest, AZeroAxisGivesTheIdentityAsInverse)
{
    Entity* e = Create(nullptr, Translation(3, 0, 0));
    EXPECT_FLOAT_EQ(e->GetInversedGlobalLocationMatrix().rows[3].x, -3.0f);
    Matrix flat = Scale(1, 0, 1);
    flat.rows[3].Set(3, 0, 0, 1);
    e->SetLocalLocationMatrix(flat);
    EXPECT_TRUE(e->GetInversedGlobalLocationMatrix().Equals(Matrix::ONE));
}

TEST_F(EntityTransformTest, GlobalSettersKeepTheWorldAndFixTheLocal)
{
    Entity* parent = Create(nullptr, Translation(10, 0, 0));
    Entity* child = Create(parent);
    Entity* grandchild = Create(child, Translation(0, 1, 0));
    child->SetGlobalPosition(Vector(4, 0, 0, 1));
    EXPECT_FLOAT_EQ(child->GetLocalPosition().x, -6.0f);
    EXPECT_FLOAT_EQ(grandchild->GetGlobalPosition().x, 4.0f);
    EXPECT_FLOAT_EQ(grandchild->GetGlobalPosition().y, 1.0f);
    child->SetGlobalScale(Vector(3, 3, 3, 1));
    EXPECT_NEAR(child->GetGlobalScale().x, 3.0f, 1e-5f);
    EXPECT_NEAR(grandchild->GetGlobalPosition().y, 3.0f, 1e-5f);
    // Keep-world reparenting leaves the entity where it stood.
    Entity* other = Create(nullptr, Translation(100, 0, 0));
    grandchild->SetParentInPlace(other);
    EXPECT_NEAR(grandchild->GetGlobalPosition().x, 4.0f, 1e-4f);
    EXPECT_NEAR(grandchild->GetLocalPosition().x, -96.0f, 1e-4f);
    // Keep-local reparenting moves it with its new parent.
    grandchild->SetParent(parent);
    EXPECT_NEAR(grandchild->GetGlobalPosition().x, 10.0f - 96.0f, 1e-4f);
    Entity* copy = Create();
    copy->CopyGlobalLocation(grandchild);
    EXPECT_NEAR(copy->GetGlobalPosition().x, grandchild->GetGlobalPosition().x, 1e-4f);
    copy->CopyLocalLocation(grandchild);
    EXPECT_NEAR(copy->GetGlobalPosition().x, -96.0f, 1e-4f);
}

// A world placed as given keeps axes that its local ones times the parent's do not give in every
// bit: the move after it must make the whole product again, not its last row alone.
TEST_F(EntityTransformTest, AMoveAfterAGlobalPlacementMakesTheWholeWorldFromTheLocal)
{
    Entity* parent = Create(nullptr, Translation(3, 0, 0));
    parent->SetLocalRotation(Vector(0, 30, 0, 1));
    Entity* child = Create(parent);
    Matrix placed;
    placed.LoadComplexTransformation(Vector(7, 0, 5, 1), Vector(0, 50, 0, 1), Vector(-1.3f, 1.3f, 1.3f, 1));
    child->SetGlobalLocationMatrix(placed);
    EXPECT_TRUE(child->IsTransformMirrored());
    Matrix remade;
    remade.Mul(parent->GetGlobalLocationMatrix(), child->GetLocalLocationMatrix());
    ASSERT_NE(std::memcmp(&remade, &placed, sizeof(Matrix)), 0);
    for (float x : {1.0f, 2.0f})
    {
        child->SetLocalPosition(Vector(x, 0, 0, 1));
        remade.Mul(parent->GetGlobalLocationMatrix(), child->GetLocalLocationMatrix());
        EXPECT_EQ(std::memcmp(&child->GetGlobalLocationMatrix(), &remade, sizeof(Matrix)), 0) << x;
        EXPECT_TRUE(child->IsTransformMirrored()) << x;
    }
}

TEST_F(EntityTransformTest, DistanceToTheBoxIsZeroInsideAndEuclideanOutside)
{
    Entity* e = Create(nullptr, Translation(10, 0, 0));
    EXPECT_FLOAT_EQ(e->GetDistanceToBoundingBox(Vector(10.5f, 0, 0, 1)), 0.0f);
    EXPECT_NEAR(e->GetDistanceToBoundingBox(Vector(14, 0, 0, 1)), 3.0f, 1e-5f);
    EXPECT_NEAR(e->GetDistanceToBoundingBox(Vector(0.5f, 0, 0, 1)), 8.5f, 1e-5f);
}

// A context that offers the bounds a test gives it, once, as an effect's published box is taken.
class MeasuringContext : public EntityRenderingContext
{
public:
    using EntityRenderingContext::EntityRenderingContext;
    bool GetDynamicBounds(BoundingBox4* bounds) const override
    {
        if (!offered)
            return false;
        *bounds = box;
        offered = false;
        return true;
    }
    BoundingBox4 box;
    mutable bool offered = false;
};

class MeasuredEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override { return new MeasuringContext(*gRenderer); }
};

class MeasuredTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new MeasuredEntity; }
};

class EntityRenderBoundsTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gpu::Faults().Clear();
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = 320;
        config.desktopHeight = 240;
        gpu::SetDisplayConfig(config);
        ASSERT_TRUE(m_renderer.Init(&m_window, false));
    }
    void TearDown() override
    {
        SceneTest::TearDown();
        m_renderer.Close();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
    }

    int m_window = 0;
    NorvexRenderer m_renderer;
    MeasuredTemplate m_measuredTemplate;
};

// Rendering with the refresh flag, from the entity's own flags or the pass's, takes the box the
// context measured into the world box and the cells; without it, or when the context offers an
// empty box, the entity keeps the box it had (an empty one would leave it in no cell, never drawn).
TEST_F(EntityRenderBoundsTest, TheRefreshFlagMovesTheWorldBoxAndCellsToTheContextsValidBounds)
{
    m_measuredTemplate.SetStaticBoundingBox(CenteredBox(1.0f));
    Entity* entity = gEntityManager.CreateEntity(&m_measuredTemplate, nullptr, Translation(35, 0, 45), 0, nullptr);
    auto* context = static_cast<MeasuringContext*>(entity->GetRenderingContext());
    ASSERT_NE(context, nullptr);
    const struct
    {
        uint32_t renderFlags;
        uint32_t extraFlags;
        float offeredHalf; // negative: an empty box
        float expectedHalf;
        EntityCellRange cells;
    } rows[] = {
        {0, 0x10, 10.0f, 1.0f, {3, 4, 4, 5}},
        {ENTITYRENDER_REFRESH_BOUNDS, 0, 10.0f, 10.0f, {2, 3, 5, 6}},
        {ENTITYRENDER_REFRESH_BOUNDS, 0, -1.0f, 10.0f, {2, 3, 5, 6}},
        {0, ENTITYRENDER_REFRESH_BOUNDS, 2.0f, 2.0f, {3, 4, 4, 5}},
    };
    uint32_t frame = 1;
    for (const auto& row : rows)
    {
        context->box = row.offeredHalf > 0.0f ? CenteredBox(row.offeredHalf) : BoundingBox4::INVALID;
        context->offered = true;
        entity->SetRenderFlags(row.renderFlags);
        entity->Render(row.extraFlags, frame);
        EXPECT_EQ(entity->GetLastRenderedFrame(), frame++);
        const float h = row.expectedHalf;
        EXPECT_EQ(entity->GetWorldBoundingBox(), BoundingBox4(Vector(35 - h, -h, 45 - h, 1), Vector(35 + h, h, 45 + h, 1)))
            << "offered " << row.offeredHalf << ", flags " << row.renderFlags << "/" << row.extraFlags;
        for (int list : {PathGrid::kQueryList, PathGrid::kRenderList})
            EXPECT_TRUE(entity->GetCellRange(list) == row.cells) << "offered " << row.offeredHalf << ", list " << list;
        // Only a refreshing render takes what the context offers.
        EXPECT_EQ(context->offered, ((row.renderFlags | row.extraFlags) & ENTITYRENDER_REFRESH_BOUNDS) == 0);
    }
    // A template change builds a fresh context, which has offered nothing yet.
    context->offered = true;
    entity->ChangeTemplate(&m_measuredTemplate);
    EXPECT_FALSE(static_cast<MeasuringContext*>(entity->GetRenderingContext())->offered);
    // Without a template the fresh context is filled from the entity's own state alone.
    entity->ChangeTemplate(nullptr);
    EXPECT_NE(entity->GetRenderingContext(), nullptr);
}

// An entity whose transform push moves another entity: a propagation inside a propagation.
class DraggingEntity : public Entity
{
public:
    void UpdateTransform() override
    {
        Entity::UpdateTransform();
        if (dragged != nullptr)
            dragged->SetLocalPosition(GetGlobalPosition());
    }
    Entity* dragged = nullptr;
};

class DraggingTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new DraggingEntity; }
};

TEST_F(EntityTransformTest, ANestedPropagationLeavesTheOuterWalkIntact)
{
    DraggingTemplate draggingTemplate;
    Entity* parent = Create();
    auto* dragger = static_cast<DraggingEntity*>(gEntityManager.CreateEntity(&draggingTemplate, parent, Matrix::ONE, 0, nullptr));
    Entity* sibling = Create(parent, Translation(0, 0, 1));
    Entity* follower = Create();
    Entity* followerChild = Create(follower, Translation(0, 1, 0));
    dragger->dragged = follower;
    parent->SetLocalPosition(Vector(50, 0, 50, 1));
    // The outer walk went on to the sibling after the nested one moved the follower.
    EXPECT_FLOAT_EQ(sibling->GetGlobalPosition().x, 50.0f);
    EXPECT_FLOAT_EQ(sibling->GetGlobalPosition().z, 51.0f);
    EXPECT_FLOAT_EQ(followerChild->GetGlobalPosition().x, 50.0f);
    EXPECT_FLOAT_EQ(followerChild->GetGlobalPosition().y, 1.0f);
    dragger->dragged = nullptr;
    dragger->DeleteMe();
}
// The last index has a table record; an entity past the table gets one of its own. The table
// starts on a large page.
TEST(EntitySpatialTableTest, IndicesPastTheTableGetRecordsOfTheirOwn)
{
    EntitySpatialRecord* last = EntitySpatialTable::Acquire(kMaxEntities - 1);
    EntitySpatialRecord* first = EntitySpatialTable::Acquire(0);
    EXPECT_EQ(last - first, std::ptrdiff_t(kMaxEntities - 1)) << "both in the one table";
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % (uintptr_t(2) << 20), 0u);
    EntitySpatialRecord* own = EntitySpatialTable::Acquire(kMaxEntities);
    EXPECT_TRUE(own < first || own > last);
    EntitySpatialTable::Release(own, kMaxEntities);
    EntitySpatialTable::Release(last, kMaxEntities - 1);
    EntitySpatialTable::Release(first, 0);
}
} // namespace
