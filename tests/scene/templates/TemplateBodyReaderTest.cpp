// ctest-labels: thread
// Template bodies on the resource thread: optimized templates files and binary template files.
#include "scene/templates/TemplateBodyReader.h"

#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/ObjectRecord.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "renderer/resources/ResourceList.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourcePool.h"
#include "scene/SceneClassRegistration.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// A template kind whose body needs another template, loaded from inside its own load.
class DependentTestTemplate : public EntityTemplate
{
public:
    bool DoLoad() override
    {
        if (!EntityTemplate::DoLoad())
            return false;
        m_dependency = gTemplateManager.GetTemplate("Base", true);
        return m_dependency != nullptr;
    }
    EntityTemplate* m_dependency = nullptr;
};

// A kind that reads other templates while it loads, so it lets the look-ahead file go.
class NoLookAheadTestTemplate : public EntityTemplate
{
public:
    bool ReadsBody() const override { return false; }
};

namespace
{
constexpr uint32_t kDependentType = 4090;
constexpr uint32_t kNoLookAheadType = 4091;

SimpleGUID MakeGUID(uint8_t value)
{
    SimpleGUID guid;
    guid.bytes[15] = 0x7E;
    guid.bytes[0] = value;
    return guid;
}

std::vector<uint8_t> Body(const char* luaClass, uint32_t passes, uint8_t guidByte, uint32_t typeId = 0)
{
    EntityTemplate source;
    source.SetLuaClass(luaClass);
    source.SetInitializationPassCount(passes);
    return SceneWriter::BuildTemplateBody(source, MakeGUID(guidByte), typeId);
}

// Little-endian fields appended one by one, laid out from the file forms, never by the record
// writer, so a writer and reader that share a misreading cannot both pass.
struct HandBytes
{
    std::vector<uint8_t> bytes;
    void U8(uint8_t v) { bytes.push_back(v); }
    void U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Text(const char* text)
    {
        for (; *text != 0; ++text)
            bytes.push_back(uint8_t(*text));
        bytes.push_back(0);
    }
    void Guid(uint8_t low, uint8_t high)
    {
        U8(low);
        for (int i = 1; i < 15; ++i)
            U8(0);
        U8(high);
    }
    void Append(const std::vector<uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
};

// A template body: GUID, type id, an unused word, the payload size and the payload of every
// EntityTemplate property in table order (groups have no bytes).
std::vector<uint8_t> HandMadeBody(uint8_t guidLow, const char* luaClass, uint32_t passes)
{
    HandBytes payload;
    payload.Text(luaClass);           // "Lua class"
    payload.U32(passes);              // "Initialization pass count"
    payload.U8(1);                    // "Activates triggers"
    payload.U32(2);                   // "Face camera mode": Camera-full
    payload.F32(1.5f);                // "Face camera offset"
    payload.U8(10);                   // "Wireframe color": r g b a, then the multiplier
    payload.U8(20);
    payload.U8(30);
    payload.U8(40);
    payload.F32(2.0f);
    for (float v : {-1.0f, -2.0f, -3.0f, 1.0f, 4.0f, 5.0f, 6.0f, 1.0f})
        payload.F32(v);               // "Static bounding box": minimum, then maximum
    payload.F32(0.25f);               // "Sort offset"
    payload.U8(4);                    // "Minimum quality level": Very high
    payload.U8(0);                    // "Visible in combat view"
    payload.U8(1);                    // "Visible in tactical view"
    payload.U8(2);                    // "Visible in tactical extended": False
    HandBytes body;
    body.Guid(guidLow, 0x7E);
    body.U32(0);                      // type id
    body.U32(0xDEADBEEF);             // unused
    body.U32(uint32_t(payload.bytes.size()));
    body.Append(payload.bytes);
    return body.bytes;
}

void ExpectHandMadeFields(const EntityTemplate& t, uint8_t guidLow, const char* luaClass, uint32_t passes)
{
    EXPECT_EQ(t.GetGUID(), MakeGUID(guidLow));
    EXPECT_EQ(t.GetTypeId(), 0u);
    EXPECT_STREQ(t.GetLuaClass(), luaClass);
    EXPECT_EQ(t.GetInitializationPassCount(), passes);
    EXPECT_TRUE(t.ActivatesTriggers());
    EXPECT_EQ(t.GetFaceCameraMode(), 2u);
    EXPECT_EQ(t.GetFaceCameraOffset(), 1.5f);
    EXPECT_EQ(t.GetWireframeColor().r, 10);
    EXPECT_EQ(t.GetWireframeColor().g, 20);
    EXPECT_EQ(t.GetWireframeColor().b, 30);
    EXPECT_EQ(t.GetWireframeColor().a, 40);
    EXPECT_EQ(t.GetWireframeColor().multiplier, 2.0f);
    EXPECT_EQ(t.GetStaticBoundingBox().min.x, -1.0f);
    EXPECT_EQ(t.GetStaticBoundingBox().min.z, -3.0f);
    EXPECT_EQ(t.GetStaticBoundingBox().max.y, 5.0f);
    EXPECT_EQ(t.GetStaticBoundingBox().max.w, 1.0f);
    EXPECT_EQ(t.GetSortOffset(), 0.25f);
    EXPECT_EQ(t.GetMinimumQualityLevel(), 4);
    EXPECT_FALSE(t.IsVisibleInCombatView());
    EXPECT_TRUE(t.IsVisibleInTacticalView());
    EXPECT_EQ(t.GetVisibleInTacticalExtended(), 2);
    EXPECT_EQ(t.GetFileVersion(), 53u);
}

class TemplateBodyReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        RTTIClassRegistry::RegisterClass("DependentTestTemplate", "EntityTemplate",
                                         [](int) -> RTTIPolyBaseClass* { return new DependentTestTemplate; });
        TemplateTypeRegistry::GetInstance().RegisterType(kDependentType, 0, "DependentTestTemplate");
        RTTIClassRegistry::RegisterClass("NoLookAheadTestTemplate", "EntityTemplate",
                                         [](int) -> RTTIPolyBaseClass* { return new NoLookAheadTestTemplate; });
        TemplateTypeRegistry::GetInstance().RegisterType(kNoLookAheadType, 0, "NoLookAheadTestTemplate");
        m_folder.WriteFile("scenes/.keep", "");
        m_folder.WriteFile("templates/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("scenes", (m_folder / "scenes").c_str()));
        ASSERT_TRUE(gFileSystem.MountDirectory("templates", (m_folder / "templates").c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        gTemplateManager.Clear();
        m_manager.Close();
        gFileSystem.UnmountAll();
    }
    void WriteBody(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        m_folder.WriteFile("templates/" + path + ".BinaryTemplate", std::string(bytes.begin(), bytes.end()));
    }
    void WriteScene(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        m_folder.WriteFile("scenes/" + name + ".opt", std::string(bytes.begin(), bytes.end()));
    }

    TempFolder m_folder;
    ResourceManager m_manager;
};

TEST_F(TemplateBodyReaderTest, OptimizedTemplatesSkipMaskedAndShortBodiesAndKeepTheRestInStep)
{
    ConsoleCapture log;
    std::vector<uint8_t> shortBody = Body("Short", 1, 3);
    shortBody.resize(30); // the payload size claims more than the entry holds
    std::vector<OptimizedTemplateEntry> entries = {
        {Body("First", 1, 1), 1u << 2},
        {Body("Masked", 2, 2), 1u << 1},
        {shortBody, 0xFFFFFFFFu},
        {Body("Last", 4, 4), 1u << 2},
    };
    WriteScene("Level", SceneWriter::BuildOptimizedTemplates(entries));
    // The bodies are read by resources: without their manager nothing is registered.
    gResourceManager = nullptr;
    gTemplateManager.LoadOptimizedTemplates("Level", "scenes", 2);
    gResourceManager = &m_manager;
    EXPECT_TRUE(log.Contains("Optimized templates of Level need the resource manager", CONSOLE_ERROR));
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(1)), nullptr);
    gTemplateManager.LoadOptimizedTemplates("Level", "scenes", 2);

    EntityTemplate* first = gTemplateManager.GetTemplateByGUID(MakeGUID(1), false);
    EntityTemplate* last = gTemplateManager.GetTemplateByGUID(MakeGUID(4), false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(first->GetLuaClass(), "First");
    EXPECT_EQ(first->GetInitializationPassCount(), 1u);
    EXPECT_STREQ(last->GetLuaClass(), "Last");
    EXPECT_EQ(last->GetInitializationPassCount(), 4u);
    EXPECT_EQ(last->GetFileVersion(), 53u);
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(4))->GetFlags(),
              EntityTemplateStub::FLAG_OPTIMIZED | EntityTemplateStub::FLAG_GUID_INDEXED);
    // Not needed in variation 2, and a failed body: neither is registered.
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(2)), nullptr);
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(3)), nullptr);
    EXPECT_TRUE(log.Contains("is not a valid EntityTemplate record", CONSOLE_ERROR) ||
                log.Contains("is cut short", CONSOLE_ERROR));
    EXPECT_TRUE(log.Contains("LoadOptimizedTemplates in "));

    // Unused optimized templates go with the next sweep; variation 255 then loads every body.
    gTemplateManager.UnloadUnusedTemplates();
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(1)), nullptr);
    gTemplateManager.LoadOptimizedTemplates("Level", "scenes", 255);
    EXPECT_NE(gTemplateManager.FindStubByGUID(MakeGUID(2)), nullptr);
    EntityTemplateStub* const kept = gTemplateManager.FindStubByGUID(MakeGUID(4));
    ASSERT_NE(kept, nullptr);
    gTemplateManager.LoadOptimizedTemplates("Level", "scenes", 255);
    EXPECT_TRUE(log.Contains("has a GUID already registered", CONSOLE_ERROR));
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(4)), kept);
    EXPECT_STREQ(gTemplateManager.GetTemplateByGUID(MakeGUID(4), false)->GetLuaClass(), "Last");
}

TEST_F(TemplateBodyReaderTest, TheClassComesFromTheTypeIdPeekedInTheEntry)
{
    ConsoleCapture log;
    // The last id is a known kind but for its top byte: all four bytes count.
    WriteScene("Typed", SceneWriter::BuildOptimizedTemplates({{Body("Base", 0, 8, 0), 1},
                                                              {Body("Dep", 0, 9, kDependentType), 1},
                                                              {Body("Far", 0, 10, 0x01000000u | kDependentType), 1}}));
    // The dependent kind asks for "Base" by path: give it a binary template file.
    TemplateWriter::WriteStubFiles(m_folder / "templates", {{"", "Base", MakeGUID(0x20), 0}});
    const std::vector<uint8_t> base = Body("BaseFile", 2, 0x20);
    m_folder.WriteFile("templates/Base.BinaryTemplate", std::string(base.begin(), base.end()));
    gTemplateManager.LoadTemplateFolder();
    gTemplateManager.LoadOptimizedTemplates("Typed", "scenes", 0);
    EntityTemplate* dependent = gTemplateManager.GetTemplateByGUID(MakeGUID(9), false);
    ASSERT_NE(dependent, nullptr);
    auto* kind = dynamic_cast<DependentTestTemplate*>(dependent);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->GetTypeId(), kDependentType);
    // Its body loaded the other template inline on the resource thread without a deadlock.
    ASSERT_NE(kind->m_dependency, nullptr);
    EXPECT_STREQ(kind->m_dependency->GetLuaClass(), "BaseFile");
    EXPECT_EQ(kind->m_dependency, gTemplateManager.GetTemplate("base", true));
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(10)), nullptr);
    EXPECT_TRUE(log.Contains("Optimized template 2 of Typed has the unknown type 16781306", CONSOLE_ERROR));
}

TEST_F(TemplateBodyReaderTest, BinaryTemplatesLoadThroughTheirStubsWithSuffixesAndFailuresAreNeverUsed)
{
    ConsoleCapture log;
    TemplateWriter::WriteStubFiles(m_folder / "templates",
                                   {{"Units", "Tank", MakeGUID(0x30), 0}, {"Units", "Broken", MakeGUID(0x31), 0}});
    const std::vector<uint8_t> plain = Body("Plain", 1, 0x30);
    const std::vector<uint8_t> suffixed = Body("Suffixed", 3, 0x30);
    m_folder.WriteFile("templates/Units/Tank.BinaryTemplate", std::string(plain.begin(), plain.end()));
    m_folder.WriteFile("templates/Units/Tank_hi.BinaryTemplate", std::string(suffixed.begin(), suffixed.end()));
    m_folder.WriteFile("templates/Units/Broken.BinaryTemplate", "short");
    gTemplateManager.LoadTemplateFolder();

    TemplateBodyReader::SetSuffixes({"_missing", "_hi"});
    EntityTemplate* tank = gTemplateManager.GetTemplate("units\\TANK", true);
    ASSERT_NE(tank, nullptr);
    EXPECT_STREQ(tank->GetLuaClass(), "Suffixed");
    EXPECT_EQ(tank->GetStub(), gTemplateManager.FindStubByPath("Units/Tank"));
    TemplateBodyReader::SetSuffixes({});

    EXPECT_EQ(gTemplateManager.GetTemplate("Units/Broken", true), nullptr);
    EXPECT_TRUE(log.Contains("Template body of templates/Units/Broken is cut short", CONSOLE_ERROR));
    EXPECT_EQ(gTemplateManager.GetTemplateByGUID(MakeGUID(0x31), true), nullptr);

    // Unloading twice (the sweep, then the stub going) touches no freed template.
    gTemplateManager.UnloadUnusedTemplates();
    EXPECT_EQ(gTemplateManager.FindStubByPath("Units/Tank")->GetTemplate(), nullptr) << "the sweep reaches folders";
    {
        os::ScopedLock lock(ResourceManager::GetLock());
        EXPECT_EQ(m_manager.GetPool(RESOURCE_TYPE_TEMPLATE)->GetCount(), 0) << "evicted before the sweep returns";
    }
    EXPECT_TRUE(gTemplateManager.FindStubByPath("Units/Tank")->UnloadTemplate());
    EXPECT_TRUE(gTemplateManager.FindStubByPath("Units/Tank")->UnloadTemplate());
}

TEST_F(TemplateBodyReaderTest, OptFilesOfAnOldVersionOrForgedCountsLoadNothing)
{
    ConsoleCapture log;
    std::vector<uint8_t> old = SceneWriter::BuildOptimizedTemplates({{Body("Old", 0, 1), 1}});
    old[0] = 52;
    WriteScene("Old", old);
    gTemplateManager.LoadOptimizedTemplates("Old", "scenes", 255);
    EXPECT_TRUE(log.Contains("Wrong opt file version Old", CONSOLE_ERROR));
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(1)), nullptr);

    std::vector<uint8_t> forged = SceneWriter::BuildOptimizedTemplates({{Body("F", 0, 1), 1}});
    forged[7] = 0x40; // a count of about a billion
    WriteScene("Forged", forged);
    gTemplateManager.LoadOptimizedTemplates("Forged", "scenes", 255);
    EXPECT_TRUE(log.Contains("count", CONSOLE_ERROR));

    // An entry whose size passes the end: the entries before it still load.
    std::vector<uint8_t> cut = SceneWriter::BuildOptimizedTemplates({{Body("A", 0, 1), 1}, {Body("B", 0, 2), 1}});
    cut.resize(cut.size() - 3);
    WriteScene("Cut", cut);
    gTemplateManager.LoadOptimizedTemplates("Cut", "scenes", 255);
    EXPECT_NE(gTemplateManager.FindStubByGUID(MakeGUID(1)), nullptr);
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(2)), nullptr);
    EXPECT_TRUE(log.Contains("entry 1 passes the end of the file", CONSOLE_ERROR));

    log.Clear();
    WriteScene("Empty", SceneWriter::BuildOptimizedTemplates({}));
    gTemplateManager.LoadOptimizedTemplates("Empty", "scenes", 255);
    EXPECT_TRUE(log.Contains("LoadOptimizedTemplates in "));
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);
}
// The caller of GetTemplateLocked holds one reference of its own; only with `wait` is the body
// there, and a failed body is never handed out.
TEST_F(TemplateBodyReaderTest, GetTemplateLockedHandsOutAReferenceAndWaitsOnlyWhenAsked)
{
    TemplateWriter::WriteStubFiles(m_folder / "templates",
                                   {{"Units", "Tank", MakeGUID(0x40), 0}, {"Units", "Broken", MakeGUID(0x41), 0}});
    WriteBody("Units/Tank", Body("Tank", 2, 0x40));
    m_folder.WriteFile("templates/Units/Broken.BinaryTemplate", "short");
    gTemplateManager.LoadTemplateFolder();

    EntityTemplate* bound = gTemplateManager.GetTemplateLocked("units/tank", false);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->GetState(), uint32_t(RESOURCE_STATE_NOT_LOADED));
    EXPECT_EQ(bound->GetReferenceCount(), 2); // the stub's and ours
    EXPECT_EQ(gTemplateManager.FindStubByPath("Units/Tank")->GetTemplate(), bound);
    bound->Resource::Release();

    EntityTemplate* loaded = gTemplateManager.GetTemplateLocked("Units\\Tank", true);
    ASSERT_EQ(loaded, bound);
    EXPECT_TRUE(loaded->IsLoaded());
    EXPECT_STREQ(loaded->GetLuaClass(), "Tank");
    EXPECT_EQ(loaded->GetReferenceCount(), 2);
    loaded->Resource::Release();

    ConsoleCapture log;
    EXPECT_EQ(gTemplateManager.GetTemplateLocked("Units/Broken", true), nullptr);
    EXPECT_TRUE(log.Contains("is cut short", CONSOLE_ERROR));
    EntityTemplate* broken = gTemplateManager.FindStubByPath("Units/Broken")->GetTemplate();
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->GetReferenceCount(), 1);
    EXPECT_EQ(gTemplateManager.GetTemplateLocked("", true), nullptr);
    EXPECT_EQ(gTemplateManager.GetTemplateLocked(nullptr, false), nullptr);
    EXPECT_EQ(gTemplateManager.GetTemplateLocked("Units/Nothing", true), nullptr);

    // By GUID, the same rule.
    EntityTemplate* byGuid = gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(0x40), true);
    ASSERT_EQ(byGuid, bound);
    EXPECT_EQ(byGuid->GetReferenceCount(), 2);
    byGuid->Resource::Release();
    EXPECT_EQ(gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(0x41), true), nullptr) << "a failed body";
    EXPECT_EQ(broken->GetReferenceCount(), 1);
    EXPECT_EQ(gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(0x4F), false), nullptr);
}

// A scene's resource list loads the templates it names under "templates/" (any case) into their
// stubs on the resource thread and keeps no reference of its own.
TEST_F(TemplateBodyReaderTest, AResourceListPreloadsItsTemplatesThroughTheirStubs)
{
    ConsoleCapture log;
    TemplateWriter::WriteStubFiles(m_folder / "templates", {{"Units", "Tank", MakeGUID(0x42), 0},
                                                            {"Units", "Broken", MakeGUID(0x43), 0},
                                                            {"", "Loose", MakeGUID(0x44), 0}});
    WriteBody("Units/Tank", Body("Tank", 1, 0x42));
    WriteBody("Loose", Body("Loose", 1, 0x44));
    m_folder.WriteFile("templates/Units/Broken.BinaryTemplate", "short");
    gTemplateManager.LoadTemplateFolder();

    ResourceList list;
    for (const char* name : {"TEMPLATES/units/TANK", "templates/Units/Broken", "templates/Units/Missing", "Loose",
                             "elsewhere/Loose", "templates/"})
    {
        ResourceEntry entry;
        entry.m_name = name;
        list.m_templates.Add(entry);
    }
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(list, 0, record));
    m_folder.WriteFile("scenes/Level.ResList", std::string(record.begin(), record.end()));
    m_manager.PostPreloadResourceList("Level", "ResList", "scenes");
    m_manager.Flush();

    EntityTemplate* tank = gTemplateManager.FindStubByPath("Units/Tank")->GetTemplate();
    ASSERT_NE(tank, nullptr);
    EXPECT_TRUE(tank->IsLoaded());
    EXPECT_STREQ(tank->GetLuaClass(), "Tank");
    EXPECT_EQ(tank->GetReferenceCount(), 1);
    EntityTemplate* broken = gTemplateManager.FindStubByPath("Units/Broken")->GetTemplate();
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->HasLoadFailed());
    EXPECT_EQ(broken->GetReferenceCount(), 1);
    // Named without the folder, or under another: not a template of the list.
    EXPECT_EQ(gTemplateManager.FindStubByPath("Loose")->GetTemplate(), nullptr);
    EXPECT_TRUE(log.Contains("PreloadResources end. Time: "));
}

// Loading a body starts the look-ahead file: the template set as pending asks for its own
// (suffixed) body file, which the next open then takes without a conflict. A kind that reads other
// templates lets the pending one go instead; optimized templates have no file to preheat.
TEST_F(TemplateBodyReaderTest, LoadingABodyPreheatsThePendingTemplateUnlessItsKindReadsOthers)
{
    ConsoleCapture log;
    TemplateWriter::WriteStubFiles(m_folder / "templates", {{"", "A", MakeGUID(0x50), 0},
                                                            {"", "B", MakeGUID(0x51), 0},
                                                            {"", "C", MakeGUID(0x52), kNoLookAheadType},
                                                            {"", "D", MakeGUID(0x53), 0}});
    WriteBody("A", Body("A", 0, 0x50));
    WriteBody("B", Body("B", 0, 0x51));
    WriteBody("B_hi", Body("BHi", 0, 0x51));
    WriteBody("C", Body("C", 0, 0x52, kNoLookAheadType));
    WriteBody("D", Body("D", 0, 0x53));
    gTemplateManager.LoadTemplateFolder();
    TemplateBodyReader::SetSuffixes({"_hi"});

    EntityTemplate* b = gTemplateManager.FindStubByPath("B")->RequestTemplate();
    ASSERT_NE(b, nullptr);
    m_manager.SetPrefetchResource(b);
    ASSERT_NE(gTemplateManager.GetTemplate("A", true), nullptr);
    EXPECT_TRUE(log.Contains("Preheating template: templates/B", CONSOLE_MESSAGE));
    EXPECT_EQ(b->GetReferenceCount(), 1);
    gFileSystem.OpenPreheatedStream();
    ASSERT_NE(gTemplateManager.GetTemplate("B", true), nullptr);
    EXPECT_STREQ(b->GetLuaClass(), "BHi");
    EXPECT_FALSE(log.Contains("Preheated stream conflict"));
    TemplateBodyReader::SetSuffixes({});

    log.Clear();
    EntityTemplate* d = gTemplateManager.FindStubByPath("D")->RequestTemplate();
    m_manager.SetPrefetchResource(d);
    ASSERT_NE(gTemplateManager.GetTemplate("C", true), nullptr);
    EXPECT_FALSE(log.Contains("Preheating template"));
    EXPECT_EQ(d->GetReferenceCount(), 1);

    Resource* optimized = m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, "#optimizedtemplate000", 0, true, 0);
    ASSERT_NE(optimized, nullptr);
    optimized->Prefetch();
    EXPECT_FALSE(log.Contains("Preheating template"));
    optimized->Release();
}
TEST_F(TemplateBodyReaderTest, AHandMadeBinaryTemplateLoadsEveryField)
{
    m_folder.WriteFile("templates/Units/Hand.template",
                       "<TemplateStub GUID=\"7E000000-0000-0000-0000-000000000060\" Type=\"0\"/>\n");
    WriteBody("Units/Hand", HandMadeBody(0x60, "HandClass", 3));
    gTemplateManager.LoadTemplateFolder();
    EntityTemplate* hand = gTemplateManager.GetTemplate("Units/Hand", true);
    ASSERT_NE(hand, nullptr);
    ExpectHandMadeFields(*hand, 0x60, "HandClass", 3);
}

// A payload size of 0 is an empty record: the template loads with its defaults and its GUID. A
// payload that passes its file, a payload that is no record and a missing body file load nothing,
// each with its own message.
TEST_F(TemplateBodyReaderTest, EmptyPayloadsLoadAndBrokenBodiesSayWhy)
{
    ConsoleCapture log;
    auto body = [](uint8_t guidLow, uint32_t payloadSize, std::vector<uint8_t> payload) {
        HandBytes bytes;
        bytes.Guid(guidLow, 0x7E);
        bytes.U32(0);
        bytes.U32(0);
        bytes.U32(payloadSize);
        bytes.Append(payload);
        return bytes.bytes;
    };
    const struct
    {
        const char* name;
        uint8_t guidLow;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"Empty", 0x63, body(0x63, 0, {}), nullptr},
        {"Past", 0x64, body(0x64, 3, {1, 2}), "Template body of templates/Units/Past is cut short"},
        {"Garbage", 0x65, body(0x65, 2, {'x', 'y'}), "Template body of templates/Units/Garbage is not a valid"},
        {"Missing", 0x66, {}, "Unable to read the binary template"},
    };
    for (const auto& c : cases)
    {
        char stub[160];
        std::snprintf(stub, sizeof(stub), "<TemplateStub GUID=\"7E000000-0000-0000-0000-0000000000%02X\" Type=\"0\"/>\n",
                      c.guidLow);
        m_folder.WriteFile(std::string("templates/Units/") + c.name + ".template", stub);
        if (!c.bytes.empty())
            WriteBody(std::string("Units/") + c.name, c.bytes);
    }
    gTemplateManager.LoadTemplateFolder();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EntityTemplate* loaded = gTemplateManager.GetTemplateByGUID(MakeGUID(c.guidLow), true);
        if (c.message == nullptr)
        {
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->GetGUID(), MakeGUID(c.guidLow));
            EXPECT_STREQ(loaded->GetLuaClass(), EntityTemplate().GetLuaClass());
            EXPECT_EQ(loaded->GetInitializationPassCount(), EntityTemplate().GetInitializationPassCount());
            continue;
        }
        EXPECT_EQ(loaded, nullptr);
        EXPECT_TRUE(log.Contains(c.message, CONSOLE_ERROR));
    }
    EXPECT_FALSE(log.Contains("Template body of templates/Units/Empty", CONSOLE_ERROR));
}

// Version, count, one variation mask per entry, then each entry's size and body.
TEST_F(TemplateBodyReaderTest, AHandMadeOptimizedTemplatesFileLoadsTheEntriesOfTheVariation)
{
    const std::vector<uint8_t> first = HandMadeBody(0x61, "First", 1);
    const std::vector<uint8_t> second = HandMadeBody(0x62, "Second", 2);
    HandBytes file;
    file.U32(53);
    file.U32(2);
    file.U32(1u << 0);
    file.U32(1u << 1);
    file.U32(uint32_t(first.size()));
    file.Append(first);
    file.U32(uint32_t(second.size()));
    file.Append(second);
    WriteScene("Hand", file.bytes);

    gTemplateManager.LoadOptimizedTemplates("Hand", "scenes", 1);
    EXPECT_EQ(gTemplateManager.FindStubByGUID(MakeGUID(0x61)), nullptr);
    EntityTemplate* loaded = gTemplateManager.GetTemplateByGUID(MakeGUID(0x62), false);
    ASSERT_NE(loaded, nullptr);
    ExpectHandMadeFields(*loaded, 0x62, "Second", 2);

    gTemplateManager.UnloadUnusedTemplates();
    gTemplateManager.LoadOptimizedTemplates("Hand", "scenes", 255);
    loaded = gTemplateManager.GetTemplateByGUID(MakeGUID(0x61), false);
    ASSERT_NE(loaded, nullptr);
    ExpectHandMadeFields(*loaded, 0x61, "First", 1);
}
} // namespace
