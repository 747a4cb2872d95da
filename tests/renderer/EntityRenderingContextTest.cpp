// ctest-labels: thread
// Rendering contexts of entities: what the game thread posts is what the render thread holds, and
// the render-side grid holds each context in exactly the cells its box covers.
#include "renderer/EntityRenderingContext.h"

#include "core/math/HDRColor.h"
#include "scene/entities/EntitySet.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"

#include <random>
#include <set>
#include <tuple>

namespace
{
// An entity kind with a real rendering context.
class ContextEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override
    {
        return gRenderer != nullptr ? new EntityRenderingContext(*gRenderer) : nullptr;
    }
};

class ContextTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new ContextEntity; }
};

// Counts the grid updates that reach the kind's hook.
class CountingContext : public EntityRenderingContext
{
public:
    using EntityRenderingContext::EntityRenderingContext;
    void TransformChanged() override { ++changes; }
    uint32_t changes = 0;
};

const BoundingBox4 kScene(Vector(0, -50, 0, 1), Vector(100, 50, 100, 1)); // 10 x 10 cells of 10

class EntityRenderingContextTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        m_template.SetStaticBoundingBox(CenteredBox(1.0f));
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    // The context's render-side state, read on the render thread after everything posted ran.
    template <typename F>
    void OnRenderThread(F body)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { body(); });
    }
    // Every (column, row) whose cell holds the context, checking each cell's records stay sorted.
    std::set<std::pair<int, int>> CellsHolding(const EntityRenderingContext* context)
    {
        std::set<std::pair<int, int>> cells;
        OnRenderThread([&] {
            const SceneCellGrid& grid = m_renderer.GetSceneCellGrid();
            for (uint32_t z = 0; z < grid.GetRows(); ++z)
                for (uint32_t x = 0; x < grid.GetColumns(); ++x)
                {
                    const auto& records = grid.GetCell(x, z).records;
                    for (size_t i = 0; i < records.size(); ++i)
                    {
                        if (i > 0)
                        {
                            EXPECT_LT(uintptr_t(records[i - 1].context), uintptr_t(records[i].context));
                        }
                        if (records[i].context == context)
                            cells.insert({int(x), int(z)});
                    }
                }
        });
        return cells;
    }

    ContextTemplate m_template;
};

BoundingBox4 Box(float x0, float z0, float x1, float z1)
{
    return BoundingBox4(Vector(x0, 0, z0, 1), Vector(x1, 1, z1, 1));
}

// The cells a box covers, worked out cell by cell.
std::set<std::pair<int, int>> BruteForceCells(const BoundingBox4& box)
{
    std::set<std::pair<int, int>> cells;
    for (int z = 0; z < 10; ++z)
        for (int x = 0; x < 10; ++x)
        {
            const bool coversX = (box.max.x >= x * 10.0f || x == 0) && (box.min.x < (x + 1) * 10.0f || x == 9);
            const bool coversZ = (box.max.z >= z * 10.0f || z == 0) && (box.min.z < (z + 1) * 10.0f || z == 9);
            if (coversX && coversZ)
                cells.insert({x, z});
        }
    return cells;
}

TEST_F(EntityRenderingContextTest, ContextsMovedAcrossCellsHoldExactlyTheirCells)
{
    m_renderer.InitSceneCellGrid(kScene, 10.0f);
    CountingContext* a = new CountingContext(m_renderer);
    CountingContext* b = new CountingContext(m_renderer);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(-20.0f, 120.0f);
    std::uniform_real_distribution<float> size(0.0f, 35.0f);
    for (int step = 0; step < 60; ++step)
    {
        const float x = position(random), z = position(random);
        const BoundingBox4 box = Box(x, z, x + size(random), z + size(random));
        a->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, false, box);
        b->SetTransformAndBounds(Matrix::ONE, Translation(3, 0, 7), false, Box(20, 20, 44, 31));
        ASSERT_EQ(CellsHolding(a), BruteForceCells(box)) << "step " << step;
        ASSERT_EQ(CellsHolding(b), BruteForceCells(Box(23, 27, 47, 38)));
    }
    // The bounds go through the global matrix, not the world one.
    a->SetTransformAndBounds(Translation(90, 0, 90), Translation(15, 0, 0), false, Box(0, 0, 1, 1));
    EXPECT_EQ(CellsHolding(a), (std::set<std::pair<int, int>>{{1, 0}}));
    OnRenderThread([&] {
        // The passes read the world box the update kept.
        EXPECT_EQ(a->GetWorldBox().min.x, 15.0f);
        EXPECT_EQ(a->GetWorldBox().max.x, 16.0f);
        EXPECT_EQ(a->GetWorldBox().max.z, 1.0f);
    });
    a->Release();
    EXPECT_TRUE(CellsHolding(a).empty());
    b->Release();
    EXPECT_TRUE(CellsHolding(b).empty());
}

TEST_F(EntityRenderingContextTest, EqualBoundsChangeNoCellButStillReachTheHook)
{
    m_renderer.InitSceneCellGrid(kScene, 10.0f);
    CountingContext* context = new CountingContext(m_renderer);
    context->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, false, Box(5, 5, 25, 5));
    context->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, true, Box(5, 5, 25, 5));
    context->PostRelink();
    OnRenderThread([&] {
        EXPECT_EQ(context->changes, 3u);
        EXPECT_TRUE(context->IsMirrored());
        const SceneCellRange range = context->GetCellRange();
        EXPECT_EQ(std::make_tuple(range.x0, range.z0, range.x1, range.z1), std::make_tuple(0, 0, 3, 1));
    });
    EXPECT_EQ(CellsHolding(context).size(), 3u);
    // A rebuilt grid forgets every record; the next update enters the new grid without touching
    // cells the stale range names.
    m_renderer.InitSceneCellGrid(kScene, 10.0f);
    EXPECT_TRUE(CellsHolding(context).empty());
    context->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, false, Box(5, 5, 25, 5));
    EXPECT_EQ(CellsHolding(context).size(), 3u);
    context->Release();
    EXPECT_TRUE(CellsHolding(context).empty());
}

TEST_F(EntityRenderingContextTest, ContextsOutOfTheGridEnterNoCell)
{
    m_renderer.InitSceneCellGrid(kScene, 10.0f);
    CountingContext* context = new CountingContext(m_renderer, EntityRenderingContext::kFlagNoGrid);
    context->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, false, Box(5, 5, 95, 95));
    EXPECT_TRUE(CellsHolding(context).empty());
    OnRenderThread([&] {
        EXPECT_EQ(context->changes, 1u);
        EXPECT_TRUE(context->GetCellRange().IsEmpty());
        EXPECT_EQ(context->GetWorldBox().max.z, 95.0f) << "kept outside the grid too, for the depth sort";
    });
    context->Release();
    m_renderer.SubmitCommands(true);
}

TEST_F(EntityRenderingContextTest, SubCommandsSetLayerStateColoursAndFlag)
{
    CountingContext* source = new CountingContext(m_renderer);
    CountingContext* context = new CountingContext(m_renderer, EntityRenderingContext::kFlagSecondGameClock);
    EntityRenderingSource values;
    values.hasEntity = true;
    values.renderingPass = 3;
    source->ApplySource(values);
    context->CopyLayer(source);
    context->SetStateFlag(9);
    context->SetWireframeColor(Vector(0.25f, 0.5f, 1, 1));
    context->SetFlagged(true);
    HDRColor::SetLinearLighting(false);
    context->SetColorMultiplier(Vector(0.5f, 1.0f, 0.25f, 0.5f));
    ASSERT_TRUE(m_renderer.Present());
    OnRenderThread([&] {
        // A main draw stamps the context with the frame it was drawn in.
        context->DrawMain(0, Vector(1, 1, 1, 1));
        EXPECT_EQ(context->GetFrameStamp(), 1u);
        EXPECT_EQ(context->GetRenderLayer(), 13u);
        EXPECT_EQ(context->GetStateByte(), 9);
        EXPECT_EQ(context->GetClockIndex(), 2u);
        EXPECT_FLOAT_EQ(context->GetWireframeColor().y, 0.5f);
        EXPECT_TRUE(context->IsFlagged());
        EXPECT_FLOAT_EQ(context->GetColorMultiplier().x, 0.5f);
        EXPECT_FLOAT_EQ(context->GetLinearColorMultiplier().x, std::pow(0.5f, 2.2f));
        EXPECT_FLOAT_EQ(context->GetLinearColorMultiplier().z, std::pow(0.25f, 2.2f));
        EXPECT_FLOAT_EQ(context->GetLinearColorMultiplier().w, 0.5f);
    });
    HDRColor::SetLinearLighting(true);
    context->SetColorMultiplier(Vector(0.5f, 1.0f, 0.25f, 0.5f));
    context->CopyLayer(nullptr);
    context->SetFlagged(false);
    // A number past the base table is ignored.
    ASSERT_TRUE(m_renderer.WriteCall(&EntityRenderingContext::Execute, 42, sizeof(void*)));
    m_renderer.GetWriter().Put(context);
    // So is a call that names no context.
    ASSERT_TRUE(
        m_renderer.WriteCall(&EntityRenderingContext::Execute, EntityRenderingContext::SUB_RELINK, sizeof(void*)));
    m_renderer.GetWriter().Put(static_cast<EntityRenderingContext*>(nullptr));
    OnRenderThread([&] {
        EXPECT_FLOAT_EQ(context->GetLinearColorMultiplier().x, 0.5f);
        EXPECT_EQ(context->GetRenderLayer(), 0u);
        EXPECT_FALSE(context->IsFlagged());
    });
    HDRColor::SetLinearLighting(false);
    context->Release();
    source->Release();
    m_renderer.SubmitCommands(true);
}

TEST_F(EntityRenderingContextTest, NewContextsTakeTheEntityAndTemplateValues)
{
    ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Wireframe color")->SetFromText(&m_template, "255 0 0 255 1"));
    ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Sort offset")->SetFromText(&m_template, "2.5"));
    ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Face camera mode")->SetFromText(&m_template, "4"));
    struct Case
    {
        const char* pass;
        const char* fromTemplate;
        uint32_t layer;
        float sortOffset;
    };
    const Case cases[] = {{"0", "1", 3, 2.5f}, {"1", "1", 5, 2.5f}, {"2", "0", 7, -1.0f}, {"3", "1", 13, 2.5f},
                          {"4", "0", 3, -1.0f}};
    for (const Case& c : cases)
    {
        Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Translation(1, 2, 3), 0, nullptr);
        const RTTIPropertiesBase* properties = e->GetClassProperties();
        ASSERT_TRUE(properties->FindProperty("Rendering pass")->SetFromText(e, c.pass));
        ASSERT_TRUE(properties->FindProperty("Sort offset")->SetFromText(e, "-1"));
        ASSERT_TRUE(properties->FindProperty("Sort offset from Template")->SetFromText(e, c.fromTemplate));
        e->Hide(false);
        e->RecreateRenderingContext(true);
        EntityRenderingContext* context = e->GetRenderingContext();
        OnRenderThread([&] {
            EXPECT_EQ(context->GetRenderLayer(), c.layer) << "pass " << c.pass;
            EXPECT_FLOAT_EQ(context->GetSortOffset(), c.sortOffset) << "pass " << c.pass;
            EXPECT_EQ(context->GetFaceCameraMode(), 4u);
            EXPECT_EQ(context->GetRandomId(), e->GetRandomId());
            EXPECT_EQ(context->GetKey(), e->GetIndex());
            EXPECT_TRUE(context->IsFlagged());
            EXPECT_FLOAT_EQ(context->GetWireframeColor().x, 1.0f);
            EXPECT_FLOAT_EQ(context->GetGlobal().rows[3].z, 3.0f);
            EXPECT_FLOAT_EQ(context->GetLocalBounds().max.x, 1.0f);
            // The base kind joins no channel pass and draws none.
            EXPECT_EQ(context->GetChannelMask(~0u), 0u);
            EXPECT_FALSE(context->DrawChannel(Matrix::ONE, ~0u));
            // A face camera mode draws unmirrored.
            context->SetTransform(Translation(0, 0, 0), true);
            EXPECT_FALSE(context->IsMirrored());
        });
        e->Show(false);
        OnRenderThread([&] { EXPECT_FALSE(context->IsFlagged()); });
    }
}

TEST_F(EntityRenderingContextTest, TheEntityContextFollowsItsMoves)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Translation(35, 0, 5), 0, nullptr);
    EntityRenderingContext* context = e->GetRenderingContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CellsHolding(context), (std::set<std::pair<int, int>>{{3, 0}}));
    e->SetGlobalLocationMatrix(Translation(40, 0, 5));
    EXPECT_EQ(CellsHolding(context), (std::set<std::pair<int, int>>{{3, 0}, {4, 0}}));
    e->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    e->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    OnRenderThread([&] { EXPECT_FALSE(context->IsFlagged()); });
    e->RaiseFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    EXPECT_EQ(e->GetRenderingContext(), nullptr);
    EXPECT_TRUE(CellsHolding(context).empty());
}

TEST_F(EntityRenderingContextTest, CreationFlagOneLeavesTheEntityWithoutAContext)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE,
                                            ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    EXPECT_EQ(e->GetRenderingContext(), nullptr);
    e->RecreateRenderingContext(true);
    EXPECT_NE(e->GetRenderingContext(), nullptr);
    e->RaiseFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    EXPECT_EQ(e->GetRenderingContext(), nullptr);
}

TEST_F(EntityRenderingContextTest, SetMarkersDrawOneCubePerSetAndPoint)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr);
    EntitySet* red = new EntitySet;
    EntitySet* blue = new EntitySet;
    gEntityManager.GetEntitySets().Add(red);
    gEntityManager.GetEntitySets().Add(blue);
    red->AddEntity(e);
    blue->AddEntity(e);
    m_renderer.SubmitCommands(true);
    uint32_t before = m_renderer.GetCommandsWritten();
    e->DrawDebug(0);
    EXPECT_EQ(m_renderer.GetCommandsWritten() - before, 2u);
    before = m_renderer.GetCommandsWritten();
    e->DrawDebug(ENTITYRENDER_NO_SET_MARKERS);
    EXPECT_EQ(m_renderer.GetCommandsWritten(), before);
    Vector points[2];
    ASSERT_EQ(e->GetMarkerPoints(points, 2), 1u);
    EXPECT_FLOAT_EQ(points[0].y, 1.0f);
}
} // namespace
