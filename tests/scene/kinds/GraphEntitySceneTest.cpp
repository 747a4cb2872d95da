// A graph with its flag nodes and their connections written as a scene by the kit and loaded back.
#include "scene/kinds/GraphEntity.h"

#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphGeometry.h"
#include "scene/kinds/GraphTemplate.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <map>
#include <string>

namespace
{
class GraphEntitySceneTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_flagGUID = Register("Graph/GraphNode", 0x31, new FlagTemplate);
        m_graphGUID = Register("Graph/Roads", 0x32, new GraphTemplate);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        SceneTest::TearDown();
        gTemplateManager.Clear();
    }

    SimpleGUID Register(const char* path, uint8_t id, EntityTemplate* entityTemplate)
    {
        SimpleGUID guid;
        guid.bytes[0] = id;
        guid.bytes[15] = 0x6B;
        EXPECT_NE(RegisterStubAtPath(path, guid, entityTemplate), nullptr);
        return guid;
    }

    static std::map<std::string, Entity*> LoadedByName()
    {
        std::map<std::string, Entity*> byName;
        for (Entity* entity : gEntityManager.GetNameIndex())
            if (entity != gEntityManager.GetSceneRoot())
                byName[entity->GetName()] = entity;
        return byName;
    }

    SimpleGUID m_flagGUID;
    SimpleGUID m_graphGUID;
};

TEST_F(GraphEntitySceneTest, NodesAndTheirConnectionsLoadBackJoinedAndTheGraphRebuilds)
{
    Entity* graph = gEntityManager.CreateEntity("Graph/Roads", nullptr, Translation(5.0f, 0.0f, 5.0f), 0, nullptr);
    ASSERT_NE(dynamic_cast<GraphEntity*>(graph), nullptr);
    graph->SetName("Roads");
    FlagEntity* a = dynamic_cast<FlagEntity*>(
        gEntityManager.CreateEntity("Graph/GraphNode", graph, Translation(0.0f, 0.0f, 0.0f), 0, nullptr));
    FlagEntity* b = dynamic_cast<FlagEntity*>(
        gEntityManager.CreateEntity("Graph/GraphNode", graph, Translation(8.0f, 0.0f, 6.0f), 0, nullptr));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    a->SetName("A");
    b->SetName("B");
    static_cast<GraphEntity*>(graph)->Connect(a, b);
    FlagEntityConnectionControlPoint point;
    point.m_position.Set(4.0f, 0.0f, 5.0f);
    a->GetConnection(0).m_controlPoints.Add(point);
    static_cast<GraphEntity*>(graph)->Connect(b, a);
    graph->RenderIfFlag8(0);
    const float length = a->GetNeighbourDistance(b);
    ASSERT_GT(length, 10.0f);

    SceneFileContents contents;
    contents.entities = {{b, m_flagGUID, 0xFFFFFFFFu}, {graph, m_graphGUID, 0xFFFFFFFFu}, {a, m_flagGUID, 0xFFFFFFFFu}};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));

    std::map<std::string, Entity*> loaded = LoadedByName();
    auto* loadedGraph = dynamic_cast<GraphEntity*>(loaded["Roads"]);
    auto* loadedA = dynamic_cast<FlagEntity*>(loaded["A"]);
    auto* loadedB = dynamic_cast<FlagEntity*>(loaded["B"]);
    ASSERT_TRUE(loadedGraph != nullptr && loadedA != nullptr && loadedB != nullptr);
    EXPECT_EQ(loadedA->GetParent(), loadedGraph);
    ASSERT_EQ(loadedA->GetConnectionCount(), 1);
    ASSERT_EQ(loadedB->GetConnectionCount(), 1);
    EXPECT_EQ(loadedA->GetConnection(0).GetDestination(), loadedB);
    EXPECT_EQ(loadedB->GetConnection(0).GetDestination(), loadedA);
    EXPECT_FLOAT_EQ(loadedA->GetNeighbourDistance(loadedB), length);
    ASSERT_EQ(loadedB->GetConnection(0).GetControlPointCount(), 1);
    EXPECT_FLOAT_EQ(loadedB->GetConnection(0).GetControlPointDistance(0),
                    length - loadedA->GetConnection(0).GetControlPointDistance(0));

    // The loaded graph asks for its geometry and builds it once.
    EXPECT_TRUE(loadedGraph->IsRebuildPending());
    loadedGraph->RenderIfFlag8(0);
    EXPECT_FALSE(loadedGraph->IsRebuildPending());
    GraphGeometry geometry;
    loadedGraph->BuildGeometry(geometry);
    EXPECT_EQ(geometry.m_curves.Count(), 2);
    EXPECT_EQ(geometry.m_arrows.Count(), 2);
}
} // namespace
