// Binary scene files written by the kit and by hand, loaded into the live scene.
#include "scene/templates/BinarySceneReader.h"

#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "support/TempFolder.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/SceneWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

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
    EntitySet scouts;
    scouts.SetName("Scouts");
    scouts.AddEntity(onlyVariation3);

    SceneFileContents contents;
    contents.entities = {{child, m_guid, 1u << 3 | 1u << 0},
                         {parent, m_guid, 0xFFFFFFFFu},
                         {onlyVariation3, m_guid, 1u << 3},
                         {never, m_guid, 0},
                         {parent, SimpleGUID(), 0xFFFFFFFFu}}; // a record whose template is missing
    contents.sets = {&set, &scouts};
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
    ASSERT_EQ(gEntityManager.GetEntitySets().Count(), 2);
    EntitySet* loadedSet = gEntityManager.GetEntitySets()[0];
    EXPECT_STREQ(loadedSet->GetName(), "Squad");
    ASSERT_EQ(loadedSet->GetEntities().Count(), 2);
    ASSERT_EQ(gEntityManager.GetEntitySets()[1]->GetEntities().Count(), 1);
    EXPECT_EQ(gEntityManager.GetEntitySets()[1]->GetEntities()[0].Get(), loaded["Third"]);
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
    // Into a started scene too.
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 1 | 4, 0, 255));
    ASSERT_NE(gEntityManager.GetNavigationGrid(), nullptr);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(emptyBytes.data(), emptyBytes.size(), 1 | 4, 0, 255));
    EXPECT_EQ(gEntityManager.GetNavigationGrid(), nullptr);
}

// Each loaded entity enters the cells its record places it in, and only those; records whose
// templates alternate each make their own template's entity.
TEST_F(BinarySceneReaderTest, LoadedEntitiesEnterTheirCellsOnceWithTheirOwnTemplates)
{
    SimpleGUID guids[2];
    EntityTemplate* templates[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        auto* stub = new EntityTemplateStub;
        stub->SetFileName(i == 0 ? "units/Tank" : "units/Tree");
        guids[i].bytes[0] = uint8_t(0x70 + i);
        stub->SetGUID(guids[i]);
        ASSERT_TRUE(gTemplateManager.RegisterStub(stub));
        templates[i] = new EntityTemplate;
        templates[i]->SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
        stub->SetTemplate(templates[i]);
    }
    // Cells are 10 wide: x 15 is cell 1, 35 cell 3, 55 cell 5, 75 cell 7.
    const float places[4] = {15.0f, 35.0f, 55.0f, 75.0f};
    const int kinds[4] = {0, 0, 1, 0};
    std::vector<Entity*> made;
    for (int i = 0; i < 4; ++i)
    {
        made.push_back(gEntityManager.CreateEntity(templates[kinds[i]], nullptr, Translation(places[i], 0, 5), 0, nullptr));
        made.back()->SetName(("E" + std::to_string(i)).c_str());
    }
    SceneFileContents contents;
    contents.entities = {{made[0], guids[0], 0xFFFFFFFFu},
                         {made[1], guids[0], 0xFFFFFFFFu},
                         {made[1], SimpleGUID(), 0xFFFFFFFFu}, // a missing template between two of the first
                         {made[2], guids[1], 0xFFFFFFFFu},
                         {made[3], guids[0], 0xFFFFFFFFu}};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();

    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));
    std::map<std::string, Entity*> loaded = LoadedByName();
    ASSERT_EQ(loaded.size(), 4u);
    const PathGrid& grid = gEntityManager.GetPathGrid();
    for (int i = 0; i < 4; ++i)
    {
        Entity* entity = loaded["E" + std::to_string(i)];
        EXPECT_EQ(entity->GetTemplate(), templates[kinds[i]]) << i;
        EXPECT_FALSE(entity->IsGridPlacementHeld()) << i;
        const uint32_t cell = uint32_t(places[i] / 10.0f);
        for (int list = 0; list < 2; ++list)
        {
            const Entity::CellRange range = entity->GetCellRange(list);
            EXPECT_EQ(range.x0, int32_t(cell)) << i;
            EXPECT_EQ(range.x1, int32_t(cell) + 1) << i;
            ASSERT_EQ(grid.GetCell(cell, 0).lists[list].Count(), 1) << i;
            EXPECT_EQ(grid.GetCell(cell, 0).lists[list][0].entity, entity) << i;
        }
    }
    EXPECT_EQ(grid.GetCell(0, 0).lists[PathGrid::kQueryList].Count(), 0) << "nothing waits at the origin";
}

// A loaded entity's making skips the pushes at the identity: what its record then places must be
// what the same entity made by code has, mirrored, scaled and under a parent alike.
TEST_F(BinarySceneReaderTest, LoadedEntitiesArePlacedAsTheSameMadeByCode)
{
    m_stub->GetTemplate()->SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -2, 1), Vector(3, 2, 1, 1)));
    Entity* parent = Make("Parent", 2, 40.0f);
    Entity* child = Make("Child", 1, 0.0f);
    child->SetParent(parent);
    Matrix turned;
    turned.LoadComplexTransformation(Vector(5, 1, 12, 1), Vector(0, 30, 0, 0), Vector(-1.5f, 1, 2, 1));
    child->SetLocalLocationMatrix(turned);
    Entity* mirrored = Make("Mirrored", 3, 0.0f);
    turned.rows[3].Set(61, 0, 33, 1);
    mirrored->SetLocalLocationMatrix(turned);
    struct Placed
    {
        Matrix world;
        BoundingBox4 box;
        BoundingBox4 cullBox;
        uint32_t renderFlags;
        Entity::CellRange cells;
    };
    std::map<std::string, Placed> byCode;
    for (Entity* entity : {parent, child, mirrored})
        byCode[entity->GetName()] = {entity->GetGlobalLocationMatrix(), entity->GetWorldBoundingBox(),
                                     EntitySpatialTable::WorldBoxOfIndex(entity->GetIndex()),
                                     entity->GetRenderFlags(), entity->GetCellRange(PathGrid::kQueryList)};
    ASSERT_TRUE(mirrored->IsTransformMirrored());
    SceneFileContents contents;
    contents.entities = {{child, m_guid, 0xFFFFFFFFu}, {parent, m_guid, 0xFFFFFFFFu}, {mirrored, m_guid, 0xFFFFFFFFu}};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();

    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));
    std::map<std::string, Entity*> loaded = LoadedByName();
    ASSERT_EQ(loaded.size(), 3u);
    for (const auto& [name, placed] : byCode)
    {
        const Entity* entity = loaded[name];
        EXPECT_TRUE(entity->GetGlobalLocationMatrix().Equals(placed.world)) << name;
        EXPECT_EQ(entity->GetWorldBoundingBox(), placed.box) << name;
        EXPECT_EQ(EntitySpatialTable::WorldBoxOfIndex(entity->GetIndex()), placed.cullBox) << name;
        EXPECT_EQ(entity->GetRenderFlags(), placed.renderFlags) << name;
        EXPECT_TRUE(entity->GetCellRange(PathGrid::kQueryList) == placed.cells) << name;
        EXPECT_TRUE(entity->GetCellRange(PathGrid::kRenderList) == placed.cells) << name;
    }
    EXPECT_EQ(loaded["Child"]->GetParent(), loaded["Parent"]);
}

// Written with no scene at all, a file still carries a root payload, so what follows it is read
// where it was written.
TEST_F(BinarySceneReaderTest, AFileWrittenWithoutASceneHasADefaultRoot)
{
    gEntityManager.DestroyScene();
    SceneFileContents contents;
    contents.hasGrid = true;
    contents.grid.width = 2;
    contents.grid.height = 1;
    contents.grid.cells = {3, 4};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 7, 0, 255));
    ASSERT_NE(gEntityManager.GetNavigationGrid(), nullptr);
    EXPECT_EQ(gEntityManager.GetNavigationGrid()->GetCells(), (std::vector<uint8_t>{3, 4}));
    EXPECT_EQ(gEntityManager.GetSceneRoot()->GetVisualizationMode(), SceneEntity::kVisualizationDefault);
}

// A scene file loads alike, with the variation asked for, read in place from a stored container
// entry or copied out of a compressed one; a scene cut short fails either way. A stored entry its
// container was cut short of loads nothing.
TEST_F(BinarySceneReaderTest, SceneFilesLoadAlikeFromContainersAndFolders)
{
    Entity* parent = Make("Parent", 2, 10.0f);
    Entity* child = Make("Child", 1, 3.0f);
    child->SetParent(parent);
    SceneFileContents contents;
    Entity* elsewhere = Make("Elsewhere", 3, 5.0f);
    contents.entities = {{child, m_guid, 0xFFFFFFFFu}, {parent, m_guid, 0xFFFFFFFFu}, {elsewhere, m_guid, 1u << 4}};
    std::map<std::string, std::vector<uint8_t>> written;
    for (Entity* entity : {parent, child})
        written[entity->GetName()] = SceneWriter::Payload(*entity, 0);
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();
    // Damaged files: name, bytes, whether the rest still loads, the reason given before the file and
    // the kind of both lines.
    std::vector<uint8_t> padded = bytes;
    padded.insert(padded.end(), 200, 0xFF);
    std::vector<uint8_t> scripted = bytes; // a sequence word, and a record no reader takes
    scripted[scripted.size() - 4] = 1;
    scripted.push_back(0);
    const std::tuple<const char*, std::vector<uint8_t>, bool, const char*, uint32_t> damaged[] = {
        {"Cut", std::vector<uint8_t>(bytes.begin(), bytes.end() - 40), false, "passes the end of the file", CONSOLE_ERROR},
        {"Empty", {}, false, "the file is shorter than its first word", CONSOLE_ERROR},
        {"Padded", padded, true, "200 bytes follow the scene; they are ignored", CONSOLE_WARNING},
        {"Scripted", scripted, true, "the sequence record is not valid", CONSOLE_ERROR},
    };
    BinarySceneReader::SetSequenceReader([](const uint8_t*, size_t, size_t*) { return false; });

    TempFolder folder;
    for (const uint8_t method : {uint8_t(0), uint8_t(1)})
    {
        ContainerWriter writer(method);
        for (const auto& [name, file, loads, reason, kind] : damaged)
            ASSERT_TRUE(writer.Add(std::string(name) + ".BinaryScene", file));
        ASSERT_TRUE(writer.Add("Town.BinaryScene", bytes));
        ASSERT_TRUE(writer.Write(folder / ("scenes" + std::to_string(method) + ".dat")));
    }
    ASSERT_TRUE(gFileSystem.MountContainer("stored", (folder / "scenes0.dat").c_str(), 0, 0x5BD1E995u, 0));
    ASSERT_TRUE(gFileSystem.MountContainer("packed", (folder / "scenes1.dat").c_str(), 0, 0x5BD1E995u, 0));
    FileReader probe("Town", "BinaryScene", "stored", 0);
    ASSERT_NE(probe.ReadWholeInPlace(), nullptr);
    probe.Close();
    for (const char* root : {"stored", "packed"})
    {
        ASSERT_TRUE(BinarySceneReader::LoadBinarySceneFile("Town", root, 0, 0, 3)) << root;
        std::map<std::string, Entity*> loaded = LoadedByName();
        ASSERT_EQ(loaded.size(), 2u) << root;
        EXPECT_EQ(loaded["Child"]->GetParent(), loaded["Parent"]) << root;
        for (auto& [name, entity] : loaded)
            EXPECT_EQ(SceneWriter::Payload(*entity, 0), written[name]) << root << " " << name;
        for (const auto& [name, file, loads, reason, kind] : damaged)
        {
            SCOPED_TRACE(std::string(root) + "/" + name);
            gEntityManager.NewScene();
            m_log.Clear();
            EXPECT_EQ(BinarySceneReader::LoadBinarySceneFile(name, root, BinarySceneReader::kReadSequences, 0, 3), loads);
            EXPECT_EQ(LoadedByName().size(), loads ? 2u : 0u);
            const std::vector<CapturedMessage> messages = m_log.Messages();
            const auto said = std::find_if(messages.begin(), messages.end(), [reason = reason](const CapturedMessage& m) {
                return m.text.find(reason) != std::string::npos;
            });
            ASSERT_TRUE(said != messages.end() && said + 1 != messages.end());
            EXPECT_EQ(said[1].text, std::string("Binary scene file: ") + root + "/" + name + ".BinaryScene");
            EXPECT_EQ(said[0].kind, kind);
            EXPECT_EQ(said[1].kind, kind);
        }
    }
    BinarySceneReader::SetSequenceReader(nullptr);

    std::filesystem::resize_file(folder / "scenes0.dat", std::filesystem::file_size(folder / "scenes0.dat") - 1);
    EXPECT_FALSE(BinarySceneReader::LoadBinarySceneFile("Town", "stored", 0, 0, 255));
    EXPECT_TRUE(m_log.Contains("Unable to read file (stored/Town)", CONSOLE_ERROR));
    gFileSystem.UnmountAll();
}

namespace
{
// Cuts a file the first time a given message is logged; errors are written before the call that
// logs them returns, so the cut lands at that point of the logging thread's work.
class CutOnMessage : public ConsoleSink
{
public:
    CutOnMessage(std::string path, uintmax_t size, std::string message)
        : m_path(std::move(path)), m_size(size), m_message(std::move(message))
    {
        gConsole.AddSink(this);
    }
    ~CutOnMessage() override { gConsole.RemoveSink(this); }
    void Write(uint32_t, uint8_t, const char* text, size_t length) override
    {
        if (!m_cut && std::string(text, length).find(m_message) != std::string::npos)
            m_cut = true, std::filesystem::resize_file(m_path, m_size);
    }

private:
    const std::string m_path;
    const uintmax_t m_size;
    const std::string m_message;
    bool m_cut = false;
};
} // namespace

// A container cut while a scene is read in place from it: the records on the pages it lost read as
// zeros, and the load reports that the file changed under it.
TEST_F(BinarySceneReaderTest, AContainerCutWhileASceneIsReadInPlaceFailsTheLoad)
{
    SceneFileContents contents;
    // The first record's template is missing: its error is where the cut lands.
    contents.entities.push_back({Make("Lost", 200, 0.0f), SimpleGUID(), 0xFFFFFFFFu});
    for (uint8_t i = 0; i < 60; ++i)
        contents.entities.push_back({Make(("Unit" + std::to_string(i)).c_str(), i, float(i)), m_guid, 0xFFFFFFFFu});
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    ASSERT_GT(bytes.size(), 3u * 4096u);
    gEntityManager.NewScene();
    TempFolder folder;
    ContainerWriter writer(0);
    ASSERT_TRUE(writer.Add("Town.BinaryScene", bytes));
    ASSERT_TRUE(writer.Write(folder / "scenes.dat"));
    ASSERT_TRUE(gFileSystem.MountContainer("stored", (folder / "scenes.dat").c_str(), 0, 0x5BD1E995u, 0));

    {
        CutOnMessage cut(folder / "scenes.dat", 4096, "Unable to find template!");
        EXPECT_FALSE(BinarySceneReader::LoadBinarySceneFile("Town", "stored", 0, 0, 255));
    }
    EXPECT_TRUE(m_log.Contains("File changed while it was read (stored/Town)", CONSOLE_ERROR));
    EXPECT_LT(LoadedByName().size(), 60u);
    gFileSystem.UnmountAll();
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
    size_t cutsInTheSecondWord = 0;
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
        m_log.Clear();
        EXPECT_FALSE(BinarySceneReader::LoadBinaryScene(part.data(), part.size(), 5, 0, 255)) << cut;
        EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live) << cut;
        cutsInTheSecondWord += m_log.Contains("the second word is missing", CONSOLE_ERROR) ? 1 : 0;
    }
    EXPECT_EQ(cutsInTheSecondWord, 4u) << "a cut that leaves the word whole reaches the root record";
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

// A whole small scene written byte by byte, no part of it from the record writer: a layer tree of
// one layer, a scene root with its twelve settings, one entity record with an empty body, one empty
// set, a 1 x 2 grid and no sequences. It loads, reaches the manager and the environment, and the kit
// writes the same bytes back from the loaded scene.
TEST_F(BinarySceneReaderTest, AHandWrittenSceneLoadsAndRoundTrips)
{
    std::vector<uint8_t> bytes;
    auto u8 = [&bytes](uint8_t v) { bytes.push_back(v); };
    auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    };
    auto text = [&bytes](const char* t) { bytes.insert(bytes.end(), t, t + std::strlen(t) + 1); };
    auto colour = [&](uint8_t grey) {
        for (int i = 0; i < 3; ++i)
            u8(grey);
        u8(255);
        u32(0x3F800000); // multiplier 1.0
    };
    u32(0);
    // Layer system: the root group "LAYERS" (name, colour, proprietary colour, expanded, no child
    // groups, one layer), then the active layer id.
    text("LAYERS");
    colour(200);
    u8(0);
    u8(1);
    u32(0);
    u32(1);
    u8(1);
    text("Ground");                  // name
    for (int i = 0; i < 16; ++i)     // GUID
        u8(uint8_t(0x30 + i));
    u8(1), u8(0), u8(1), u8(1);      // visible, frozen, visible in game, persistent
    u8(0), u8(0);                    // proprietary colour, editor selected
    colour(128);
    u8(1);                           // id
    u32(0x42000000);                 // optimization sector size 32
    u32(7);                          // user data
    u32(0xFFFFFFFF);                 // scene variation mask
    u8(1), u8(0);                    // iPhone, iPad
    u8(1), text("pc");               // required distro tag
    u8(1);                           // active layer id
    u32(0);
    // Scene root.
    for (int i = 0; i < 16; ++i)     // active scene param box: nothing in this file
        u8(uint8_t(0xA0 + i));
    u8(0), u8(1);                    // requires common resources, allow mesh optimization
    u32(0xC1200000);                 // universe min y -10
    u32(0x42B40000);                 // universe max y 90
    u8(0);                           // ground plane enabled
    u32(0x40200000);                 // ground plane level 2.5
    u8(1), text("Dune");             // scene tag
    u32(1);                          // visualization mode
    for (uint32_t v : {0x3F800000u, 0x40000000u, 0x40400000u, 0x40800000u, // terrain lightmap vectors
                       0u, 0u, 0x3F000000u, 0x3F000000u, 0x40000000u, 0x40000000u, 0u, 0u})
        u32(v);
    u32(1);
    bytes.insert(bytes.end(), m_guid.bytes, m_guid.bytes + 16);
    u32(0xFFFFFFFF);
    u32(0);
    u32(1); // one set with an empty body
    u32(0);
    u8(1);
    u32(0xD8340F9C);
    u32(1);
    u32(1);
    u32(2);
    for (int i = 0; i < 4; ++i)
        u32(0);
    u32(0x3F800000); // cell size 1.0
    u8(7);
    u8(9);
    u32(0);

    // The entity's record has no body: nothing but its making places it, at the origin.
    m_stub->GetTemplate()->SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1)));
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 7, 0, 255));
    SceneEntity* root = gEntityManager.GetSceneRoot();
    ASSERT_EQ(root->GetChildren().Count(), 1);
    const Entity* bodiless = root->GetChildren()[0];
    EXPECT_FLOAT_EQ(bodiless->GetWorldBoundingBox().max.y, 2.0f);
    EXPECT_FLOAT_EQ(EntitySpatialTable::WorldBoxOfIndex(bodiless->GetIndex()).min.x, -1.0f);
    EXPECT_EQ(bodiless->GetCellRange(PathGrid::kRenderList).x1, 1);
    EXPECT_FALSE(root->RequiresCommonResources());
    EXPECT_FALSE(root->IsGroundPlaneEnabled());
    EXPECT_FLOAT_EQ(root->GetGroundPlaneLevel(), 2.5f);
    EXPECT_STREQ(root->GetSceneTag().CStr(), "Dune");
    EXPECT_EQ(root->GetVisualizationMode(), 1u);
    EXPECT_EQ(root->GetActiveSceneParamsGUID().bytes[15], 0xAF);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().min.y, -10.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 90.0f);
    EXPECT_EQ(gEntityManager.GetLayerSystem().GetRoot().GetLayers().Count(), 1);
    EXPECT_STREQ(gEntityManager.GetLayerSystem().GetRoot().GetLayers()[0]->GetName(), "Ground");
    EXPECT_EQ(gEntityManager.GetEntitySets().Count(), 1);
    NavigationGrid* grid = gEntityManager.GetNavigationGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->GetCells(), (std::vector<uint8_t>{7, 9}));
    EXPECT_EQ(grid->GetHeight(), 2u);

    SceneFileContents again;
    again.entities = {{nullptr, m_guid, 0xFFFFFFFFu}};
    again.sets = {nullptr};
    again.hasGrid = true;
    again.grid.width = grid->GetWidth();
    again.grid.height = grid->GetHeight();
    again.grid.cellSize = grid->GetCellSize();
    again.grid.cells = grid->GetCells();
    EXPECT_EQ(SceneWriter::BuildBinaryScene(again), bytes);
}
} // namespace
