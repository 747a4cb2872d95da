// Binary scene files written by the kit and by hand, loaded into the live scene.
#include "scene/templates/BinarySceneReader.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <cstring>
#include <map>
#include <string>

namespace
{
class BinarySceneReaderTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_stub = new EntityTemplateStub;
        m_stub->SetFileName("units/Soldier");
        m_guid.bytes[15] = 0x5A;
        m_guid.bytes[0] = 1;
        m_stub->SetGUID(m_guid);
        ASSERT_TRUE(gTemplateManager.RegisterStub(m_stub));
        m_stub->SetTemplate(new EntityTemplate);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        SceneTest::TearDown();
        gTemplateManager.Clear();
    }

    Entity* Make(const char* name, uint8_t guidByte, float x)
    {
        Entity* entity = gEntityManager.CreateEntity(m_stub->GetTemplate(), nullptr, Translation(x, 0, 0), 0, nullptr);
        entity->SetName(name);
        SimpleGUID guid;
        guid.bytes[15] = 0xE0;
        guid.bytes[0] = guidByte;
        entity->SetGUID(guid);
        return entity;
    }

    static std::map<std::string, Entity*> LoadedByName()
    {
        std::map<std::string, Entity*> byName;
        for (Entity* entity : gEntityManager.GetNameIndex())
            if (entity != gEntityManager.GetSceneRoot())
                byName[entity->GetName()] = entity;
        return byName;
    }

    EntityTemplateStub* m_stub = nullptr;
    SimpleGUID m_guid;
};

TEST_F(BinarySceneReaderTest, AKitSceneRoundTripsWithVariationsReferencesSetsAndTheGrid)
{
    // The child comes first in the file, so its parent reference points forward.
    Entity* parent = Make("Parent", 2, 10.0f);
    Entity* child = Make("Child", 1, 3.0f);
    child->SetParent(parent);
    Entity* onlyVariation3 = Make("Third", 3, 30.0f);
    Entity* never = Make("Never", 4, 40.0f);
    EntitySet set;
    set.SetName("Squad");
    set.AddEntity(parent);
    set.AddEntity(child);

    SceneFileContents contents;
    contents.entities = {{child, m_guid, 1u << 3 | 1u << 0},
                         {parent, m_guid, 0xFFFFFFFFu},
                         {onlyVariation3, m_guid, 1u << 3},
                         {never, m_guid, 0},
                         {parent, SimpleGUID(), 0xFFFFFFFFu}}; // a record whose template is missing
    contents.sets = {&set};
    contents.hasGrid = true;
    contents.grid.width = 3;
    contents.grid.height = 2;
    contents.grid.cellSize = 4.0f;
    contents.grid.cells = {1, 2, 3, 4, 5, 6};
    std::map<std::string, std::vector<uint8_t>> written;
    for (Entity* entity : {parent, child, onlyVariation3})
        written[entity->GetName()] = SceneWriter::Payload(*entity, 0);
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();

    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 1, 0, 3));
    EXPECT_TRUE(m_log.Contains("Unable to find template! Certain objects will be lost! Template GUID: "
                               "00000000-0000-0000-0000-000000000000",
                               CONSOLE_ERROR));
    std::map<std::string, Entity*> loaded = LoadedByName();
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded.count("Never"), 0u);
    EXPECT_EQ(loaded["Child"]->GetParent(), loaded["Parent"]);
    EXPECT_FLOAT_EQ(loaded["Third"]->GetLocalPosition().x, 30.0f);
    for (auto& [name, entity] : loaded)
        EXPECT_EQ(SceneWriter::Payload(*entity, 0), written[name]) << name;
    ASSERT_EQ(gEntityManager.GetEntitySets().Count(), 1);
    EntitySet* loadedSet = gEntityManager.GetEntitySets()[0];
    EXPECT_STREQ(loadedSet->GetName(), "Squad");
    ASSERT_EQ(loadedSet->GetEntities().Count(), 2);
    NavigationGrid* grid = gEntityManager.GetNavigationGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->GetWidth(), 3u);
    EXPECT_EQ(grid->GetCells(), contents.grid.cells);
    EXPECT_FLOAT_EQ(grid->GetCellSize(), 4.0f);

    // Variation 1 loads only the masks with bit 1: the parent alone; 255 loads every record.
    gEntityManager.NewScene();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 4, 0, 1));
    EXPECT_EQ(LoadedByName().size(), 1u);
    EXPECT_EQ(gEntityManager.GetNavigationGrid(), nullptr); // without flag 1 the block is dropped
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));
    EXPECT_EQ(LoadedByName().size(), 4u);
    EXPECT_EQ(gEntityManager.GetNavigationGrid(), nullptr); // cleared by the new scene

    // A file without a grid clears it when asked to apply it.
    SceneFileContents empty;
    const std::vector<uint8_t> emptyBytes = SceneWriter::BuildBinaryScene(empty);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(emptyBytes.data(), emptyBytes.size(), 1, 0, 255));
    EXPECT_EQ(gEntityManager.GetNavigationGrid(), nullptr);
    EXPECT_NE(gEntityManager.GetSceneRoot(), nullptr);
    EXPECT_EQ(LoadedByName().size(), 0u);
}

TEST_F(BinarySceneReaderTest, TruncatedOrForgedFilesLoadNothing)
{
    Make("One", 1, 1.0f);
    SceneFileContents contents;
    contents.entities = {{LoadedByName()["One"], m_guid, 0xFFFFFFFFu}};
    contents.hasGrid = true;
    contents.grid.width = 2;
    contents.grid.height = 2;
    contents.grid.cells = {1, 2, 3, 4};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();
    const uint32_t live = gEntityManager.GetLiveEntityCount();
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
        EXPECT_FALSE(BinarySceneReader::LoadBinaryScene(part.data(), part.size(), 5, 0, 255)) << cut;
        EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live) << cut;
    }
    // Grid width times height that wraps in 32 bits.
    std::vector<uint8_t> forged = bytes;
    const size_t gridAt = bytes.size() - 4 - 4 - NavigationGrid::kHeaderSize;
    const uint32_t big = 0x10000;
    std::memcpy(&forged[gridAt + 8], &big, 4);
    std::memcpy(&forged[gridAt + 12], &big, 4);
    EXPECT_FALSE(BinarySceneReader::LoadBinaryScene(forged.data(), forged.size(), 5, 0, 255));
    EXPECT_TRUE(m_log.Contains("navigation grid block passes the end", CONSOLE_ERROR));
    EXPECT_FALSE(BinarySceneReader::LoadBinarySceneFile("nothing", "scenes", 5, 0, 255));
    EXPECT_TRUE(m_log.Contains("Unable to open file for reading (scenes/nothing)", CONSOLE_ERROR));
}

// A file laid out by hand: empty layer system and root payloads are taken from the record writer
// (their forms belong to the record tests); the frame around them, one entity record with an empty
// body, no sets, a 1 x 2 grid and no sequences are written byte by byte.
TEST_F(BinarySceneReaderTest, AHandAssembledFileLoads)
{
    std::vector<uint8_t> bytes;
    auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    };
    u32(0xAAAAAAAA);
    const std::vector<uint8_t> layers = SceneWriter::Payload(gEntityManager.GetLayerSystem(), 0);
    bytes.insert(bytes.end(), layers.begin(), layers.end());
    u32(0xBBBBBBBB);
    const std::vector<uint8_t> root = SceneWriter::Payload(*gEntityManager.GetSceneRoot(), RTTI_OWN_CLASS_ONLY);
    bytes.insert(bytes.end(), root.begin(), root.end());
    u32(1);
    bytes.insert(bytes.end(), m_guid.bytes, m_guid.bytes + 16);
    u32(0xFFFFFFFF);
    u32(0);
    u32(0);
    bytes.push_back(1);
    u32(0xD8340F9C);
    u32(1);
    u32(1);
    u32(2);
    for (int i = 0; i < 5; ++i)
        u32(0x3F800000); // 1.0f
    bytes.push_back(7);
    bytes.push_back(9);
    u32(0);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 7, 0, 255));
    ASSERT_EQ(gEntityManager.GetSceneRoot()->GetChildren().Count(), 1);
    ASSERT_NE(gEntityManager.GetNavigationGrid(), nullptr);
    EXPECT_EQ(gEntityManager.GetNavigationGrid()->GetCells(), (std::vector<uint8_t>{7, 9}));
    EXPECT_EQ(gEntityManager.GetNavigationGrid()->GetHeight(), 2u);
}
} // namespace
