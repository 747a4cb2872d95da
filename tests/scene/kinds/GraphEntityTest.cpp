#include "scene/kinds/GraphEntity.h"

#include "scene/entities/EntityLayerSystem.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphGeometry.h"
#include "scene/kinds/GraphTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"

#include <cmath>
#include <vector>

namespace
{
class GraphEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_templates.push_back(std::make_unique<FlagTemplate>());
        m_flagTemplate = m_templates.back().get();
        m_templates.push_back(std::make_unique<GraphTemplate>());
        m_graphTemplate = static_cast<GraphTemplate*>(m_templates.back().get());
        m_graph = dynamic_cast<GraphEntity*>(
            gEntityManager.CreateEntity(m_graphTemplate, nullptr, Translation(50.0f, 0.0f, 50.0f), 0, nullptr));
        ASSERT_NE(m_graph, nullptr);
    }

    void TearDown() override
    {
        SceneTest::TearDown();
        gTemplateManager.Clear();
    }

    FlagEntity* Node(float x, float y, float z)
    {
        return dynamic_cast<FlagEntity*>(
            gEntityManager.CreateEntity(m_flagTemplate, m_graph, Translation(x, y, z), 0, nullptr));
    }

    static void AddPoint(FlagEntity* flag, int32_t connection, float x, float y, float z)
    {
        FlagEntityConnectionControlPoint point;
        point.m_position.Set(x, y, z);
        flag->GetConnection(connection).m_controlPoints.Add(point);
    }

    // The per-frame rebuild (lengths refreshed), then the geometry it would hand on.
    GraphGeometry Build()
    {
        m_graph->RenderIfFlag8(0);
        GraphGeometry geometry;
        m_graph->BuildGeometry(geometry);
        return geometry;
    }

    EntityTemplate* m_flagTemplate = nullptr;
    GraphTemplate* m_graphTemplate = nullptr;
    GraphEntity* m_graph = nullptr;
};

void ExpectNearGraph(const Vector& v, float x, float y, float z, float w, float tolerance = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
    EXPECT_NEAR(v.w, w, tolerance);
}

TEST_F(GraphEntityTest, OneWayAndTwoWayPairsMakeOneStripWithOneOrTwoArrows)
{
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(10.0f, 0.0f, 0.0f);
    m_graph->Connect(a, b);
    GraphGeometry one = Build();
    ASSERT_EQ(one.m_strips.Count(), 1);
    EXPECT_EQ(one.m_curves.Count(), 0);
    ExpectNearGraph(one.m_strips[0].a, 0.0f, 0.25f, 0.0f, 0.0f);
    ExpectNearGraph(one.m_strips[0].b, 10.0f, 0.25f, 0.0f, 10.0f);
    ASSERT_EQ(one.m_arrows.Count(), 1);
    ExpectNearGraph(one.m_arrows[0].position, 5.6f, 0.25f, 0.0f, 1.0f);
    ExpectNearGraph(one.m_arrows[0].direction, 1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(b->m_graphInDegree, 1);
    EXPECT_EQ(b->m_graphPredecessor.Get(), a);
    EXPECT_EQ(a->m_graphInDegree, 0);

    m_graph->Connect(b, a);
    GraphGeometry two = Build();
    ASSERT_EQ(two.m_strips.Count(), 1);
    ASSERT_EQ(two.m_arrows.Count(), 2);
    ExpectNearGraph(two.m_arrows[0].position, 5.6f, 0.25f, 0.0f, 1.0f);
    ExpectNearGraph(two.m_arrows[0].direction, 1.0f, 0.0f, 0.0f, 0.0f);
    ExpectNearGraph(two.m_arrows[1].position, 4.4f, 0.25f, 0.0f, 1.0f);
    ExpectNearGraph(two.m_arrows[1].direction, -1.0f, 0.0f, 0.0f, 0.0f);
    // Both have an incoming connection, so the root is the first with exactly one connection.
    EXPECT_FLOAT_EQ(a->m_graphPathDistance, 0.0f);
    EXPECT_FLOAT_EQ(b->m_graphPathDistance, 10.0f);
}

TEST_F(GraphEntityTest, CurvesCarryPathDistancesAndCutEndsOnlyWhereThePathStops)
{
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(10.0f, 0.0f, 0.0f);
    FlagEntity* c = Node(20.0f, 0.0f, 0.0f);
    m_graph->Connect(a, b);
    m_graph->Connect(b, c);
    AddPoint(b, 0, 15.0f, 0.0f, 3.0f);

    GraphGeometry full = Build();
    const float d0 = b->GetConnection(0).GetControlPointDistance(0);
    const float length = b->GetConnection(0).m_length;
    EXPECT_FLOAT_EQ(c->m_graphPathDistance, 10.0f + length);
    ASSERT_EQ(full.m_strips.Count(), 1);
    ASSERT_EQ(full.m_curves.Count(), 2);
    // The first piece comes in from a (b's only predecessor), the last ends at c, which goes nowhere.
    const GraphCurve& first = full.m_curves[0];
    ExpectNearGraph(first.p[0], 0.0f, 0.0f, 0.0f, 10.0f);
    ExpectNearGraph(first.p[1], 10.0f, 0.0f, 0.0f, 0.75f * 10.0f + 0.25f * (10.0f + d0));
    ExpectNearGraph(first.p[2], 15.0f, 0.0f, 3.0f, 0.25f * 10.0f + 0.75f * (10.0f + d0));
    ExpectNearGraph(first.p[3], 20.0f, 0.0f, 0.0f, 10.0f + d0);
    const GraphCurve& last = full.m_curves[1];
    ExpectNearGraph(last.p[0], 10.0f, 0.0f, 0.0f, 10.0f + d0);
    ExpectNearGraph(last.p[3], 20.0f, 0.0f, 0.0f, 10.0f + length);
    // One control point: the arrow rides the first segment, at its Catmull-Rom middle
    // (12.8125, 0, 1.6875) with the tangent (4.375, 0, 4.125).
    ASSERT_EQ(full.m_arrows.Count(), 2);
    const float norm = std::sqrt(4.375f * 4.375f + 4.125f * 4.125f);
    ExpectNearGraph(full.m_arrows[1].direction, 4.375f / norm, 0.0f, 4.125f / norm, 0.0f);
    ExpectNearGraph(full.m_arrows[1].position, 12.8125f + 0.6f * 4.375f / norm, 0.0f, 1.6875f + 0.6f * 4.125f / norm, 1.0f);

    // Cut ends: c ends the path, so the last piece goes; b carries a's path on, so the first stays.
    m_graphTemplate->SetCutsOffNastyEnds(true);
    GraphGeometry cut = Build();
    ASSERT_EQ(cut.m_curves.Count(), 1);
    ExpectNearGraph(cut.m_curves[0].p[3], 20.0f, 0.0f, 0.0f, 10.0f + d0);
    EXPECT_EQ(cut.m_arrows.Count(), 2);
    // Where the path starts (a has no way in) a curve loses its first piece.
    AddPoint(a, 0, 5.0f, 0.0f, -2.0f);
    GraphGeometry both = Build();
    EXPECT_EQ(both.m_strips.Count(), 0);
    ASSERT_EQ(both.m_curves.Count(), 2);
    ExpectNearGraph(both.m_curves[0].p[1], 5.0f, 0.0f, -2.0f, both.m_curves[0].p[1].w);
    // c goes on through one more connection: b's path is no longer cut at c.
    FlagEntity* d = Node(30.0f, 0.0f, 0.0f);
    m_graph->Connect(c, d);
    GraphGeometry onward = Build();
    EXPECT_EQ(onward.m_curves.Count(), 3);
    EXPECT_EQ(onward.m_strips.Count(), 1);
    ExpectNearGraph(onward.m_curves[2].p[3], 30.0f, 0.0f, 0.0f, onward.m_curves[2].p[3].w);
}

TEST_F(GraphEntityTest, APairJoinedBothWaysIsCutAtBothEndsSinceNeitherNodeLeadsOn)
{
    m_graphTemplate->SetCutsOffNastyEnds(true);
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(10.0f, 0.0f, 0.0f);
    m_graph->Connect(a, b);
    AddPoint(a, 0, 5.0f, 0.0f, 2.0f);
    m_graph->Connect(b, a);
    // a's only way in comes from b, the node it leads to: that is no path carried on.
    GraphGeometry g = Build();
    EXPECT_EQ(g.m_curves.Count(), 0);
    EXPECT_EQ(g.m_arrows.Count(), 2);
    m_graphTemplate->SetCutsOffNastyEnds(false);
    EXPECT_EQ(Build().m_curves.Count(), 2);
}

TEST_F(GraphEntityTest, RingsTakeTheirRootFromTheFirstNodeWithOneConnection)
{
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(3.0f, 0.0f, 0.0f);
    FlagEntity* c = Node(3.0f, 0.0f, 4.0f);
    m_graph->Connect(a, b);
    m_graph->Connect(b, c);
    m_graph->Connect(c, a);
    GraphGeometry ring = Build();
    EXPECT_EQ(ring.m_strips.Count(), 3);
    EXPECT_EQ(ring.m_arrows.Count(), 3);
    EXPECT_FLOAT_EQ(a->m_graphPathDistance, 0.0f);
    EXPECT_FLOAT_EQ(b->m_graphPathDistance, 3.0f);
    EXPECT_FLOAT_EQ(c->m_graphPathDistance, 7.0f);
    ExpectNearGraph(ring.m_strips[2].a, 3.0f, 0.25f, 4.0f, 7.0f);
    ExpectNearGraph(ring.m_strips[2].b, 0.0f, 0.25f, 0.0f, 0.0f);

    // Joined both ways every node has two connections: no root, and no distance is given out.
    a->m_graphPathDistance = b->m_graphPathDistance = c->m_graphPathDistance = -1.0f;
    m_graph->Connect(b, a);
    m_graph->Connect(c, b);
    m_graph->Connect(a, c);
    GraphGeometry twoWay = Build();
    EXPECT_EQ(twoWay.m_strips.Count(), 3);
    EXPECT_EQ(twoWay.m_arrows.Count(), 6);
    EXPECT_FLOAT_EQ(a->m_graphPathDistance, -1.0f);
    EXPECT_FLOAT_EQ(c->m_graphPathDistance, -1.0f);
}

TEST_F(GraphEntityTest, CoincidentNodesGiveFiniteGeometry)
{
    FlagEntity* a = Node(2.0f, 0.0f, 2.0f);
    FlagEntity* b = Node(2.0f, 0.0f, 2.0f);
    FlagEntity* c = Node(2.0f, 0.0f, 2.0f);
    m_graph->Connect(a, b);
    m_graph->Connect(b, c);
    AddPoint(b, 0, 2.0f, 0.0f, 2.0f);
    GraphGeometry g = Build();
    ASSERT_EQ(g.m_arrows.Count(), 2);
    for (const GraphArrow& arrow : g.m_arrows)
    {
        EXPECT_TRUE(std::isfinite(arrow.position.x) && std::isfinite(arrow.position.z));
        EXPECT_TRUE(std::isfinite(arrow.direction.x) && std::isfinite(arrow.direction.z));
    }
    for (const GraphCurve& curve : g.m_curves)
        EXPECT_TRUE(std::isfinite(curve.p[3].w));
}

TEST_F(GraphEntityTest, ChangesWithinATickCauseOneRebuildAtTheNextFrameHook)
{
    EXPECT_FALSE(m_graph->IsRebuildPending());
    m_graph->RenderIfFlag8(0);
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    EXPECT_TRUE(m_graph->IsRebuildPending());
    EXPECT_TRUE(m_graph->HasFlag(ENTITYFLAG_ANIMATED));
    FlagEntity* b = Node(6.0f, 0.0f, 8.0f);
    m_graph->Connect(a, b);
    m_graph->Connect(b, a);
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 0.0f);

    m_graph->RenderIfFlag8(0);
    EXPECT_FALSE(m_graph->IsRebuildPending());
    EXPECT_FALSE(m_graph->HasFlag(ENTITYFLAG_ANIMATED));
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 10.0f);
    EXPECT_FLOAT_EQ(b->GetNeighbourDistance(a), 10.0f);

    // A node moved without telling the graph is measured at the next requested rebuild only.
    b->SetLocalPosition(Vector(0.0f, 0.0f, 5.0f, 1.0f));
    m_graph->RenderIfFlag8(0);
    m_graph->OnFrameHook(0);
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 10.0f);
    m_graph->OnPostLoad(0);
    EXPECT_TRUE(m_graph->HasFlag(ENTITYFLAG_ANIMATED));
    m_graph->RenderIfFlag8(0);
    EXPECT_FLOAT_EQ(a->GetNeighbourDistance(b), 5.0f);

    // Removing a node asks again, and the rebuild drops the connection to it.
    b->DeleteMe();
    EXPECT_TRUE(m_graph->IsRebuildPending());
    m_graph->RenderIfFlag8(0);
    EXPECT_EQ(a->GetConnectionCount(), 0);
}

TEST_F(GraphEntityTest, ConnectJoinsOnlyDistinctNodesOfThisGraph)
{
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(1.0f, 0.0f, 0.0f);
    FlagEntity* outside =
        dynamic_cast<FlagEntity*>(gEntityManager.CreateEntity(m_flagTemplate, nullptr, Matrix::ONE, 0, nullptr));
    m_graph->RenderIfFlag8(0);
    m_graph->Connect(a, a);
    m_graph->Connect(a, outside);
    m_graph->Connect(outside, a);
    m_graph->Connect(nullptr, a);
    EXPECT_EQ(a->GetConnectionCount(), 0);
    EXPECT_EQ(outside->GetConnectionCount(), 0);
    EXPECT_FALSE(m_graph->IsRebuildPending());
    m_graph->Connect(a, b);
    EXPECT_TRUE(a->HasNeighbour(b));
    EXPECT_TRUE(m_graph->IsRebuildPending());
}

TEST_F(GraphEntityTest, BoundsSpanTheNodesAndAnEmptyGraphHasNone)
{
    GraphGeometry none = Build();
    EXPECT_TRUE(none.IsEmpty());
    m_graph->RecomputeLocalBounds();
    EXPECT_FALSE(m_graph->GetLocalBoundingBox().IsValid3());
    EXPECT_FALSE(m_graph->GetWorldBoundingBox().IsValid3());

    Node(0.0f, 0.0f, 0.0f);
    Node(10.0f, 2.0f, -5.0f);
    Create(m_graph, Translation(100.0f, 100.0f, 100.0f));
    m_graph->RenderIfFlag8(0);
    m_graph->RecomputeLocalBounds();
    const BoundingBox4& box = m_graph->GetLocalBoundingBox();
    ExpectNearGraph(box.min, 0.0f, 0.4f, -5.0f, box.min.w);
    ExpectNearGraph(box.max, 10.0f, 2.4f, 0.0f, box.max.w);
    EXPECT_FLOAT_EQ(m_graph->GetWorldBoundingBox().max.x, 60.0f);
    EXPECT_TRUE(m_graph->IsRebuildPending());
}

TEST_F(GraphEntityTest, NodesAreAllMarkedOnlyWhenEveryFlagChildsBitIsSet)
{
    FlagEntity* a = Node(0.0f, 0.0f, 0.0f);
    FlagEntity* b = Node(1.0f, 0.0f, 0.0f);
    Entity* other = Create(m_graph);
    std::vector<uint32_t> marks(kMaxEntities / 32, 0);
    auto mark = [&](const Entity* e) { marks[e->GetIndex() >> 5] |= 1u << (e->GetIndex() & 31); };
    mark(a);
    EXPECT_FALSE(m_graph->AreAllNodesMarked(marks.data()));
    mark(b);
    EXPECT_TRUE(m_graph->AreAllNodesMarked(marks.data()));
    (void)other;
}

TEST_F(GraphEntityTest, PlacingANewGraphMakesTwoJoinedNodesOrReportsABadNodeTemplate)
{
    m_graphTemplate->SetNodeTemplate("Graph/Missing");
    m_log.Clear();
    EXPECT_FALSE(m_graph->CreateFirstNodes());
    EXPECT_TRUE(m_log.Contains("Cannot create graph because the 'Node template' property is invalid (Graph/Missing). "
                               "It should define a full path to a valid Flag template.",
                               CONSOLE_ERROR));
    EXPECT_TRUE(m_graph->GetChildren().IsEmpty());

    // A template that makes no flags is refused and its entities taken away again.
    SimpleGUID plainGUID;
    plainGUID.bytes[0] = 0x51;
    EntityTemplateStub* plain = RegisterStubAtPath("Graph/Plain", plainGUID, nullptr);
    ASSERT_NE(plain, nullptr);
    plain->SetTemplate(new EntityTemplate);
    m_graphTemplate->SetNodeTemplate("Graph/Plain");
    gEntityManager.GetLayerSystem().SetActiveLayerId(3);
    m_graph->SetLayerToActive();
    EXPECT_TRUE(m_graph->GetChildren().IsEmpty());
    EXPECT_NE(m_graph->GetLayer(), 3) << "a graph that cannot make its nodes is not placed";

    SimpleGUID guid;
    guid.bytes[0] = 0x52;
    EntityTemplateStub* stub = RegisterStubAtPath("Graph/GraphNode", guid, nullptr);
    ASSERT_NE(stub, nullptr);
    stub->SetTemplate(new FlagTemplate);
    m_graphTemplate->SetNodeTemplate("Graph/GraphNode");
    m_graph->SetLayerToActive();
    EXPECT_EQ(m_graph->GetLayer(), 3);
    ASSERT_EQ(m_graph->GetChildren().Count(), 2);
    FlagEntity* first = dynamic_cast<FlagEntity*>(m_graph->GetChildren()[0]);
    FlagEntity* second = dynamic_cast<FlagEntity*>(m_graph->GetChildren()[1]);
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_TRUE(first->GetLocalPosition().Equal(Vector(0.0f, 0.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(second->GetLocalPosition().Equal(Vector(0.0f, 0.0f, 1.0f, 1.0f)));
    EXPECT_TRUE(first->GetLayer() == 3 && second->GetLayer() == 3) << "both on the active layer";
    EXPECT_TRUE(first->HasNeighbour(second));
    EXPECT_TRUE(second->HasNeighbour(first));
    EXPECT_TRUE(m_graph->IsRebuildPending());
}
} // namespace
