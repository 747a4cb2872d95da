// ctest-labels: thread
// Template bodies on the resource thread: optimized templates files and binary template files.
#include "scene/templates/TemplateBodyReader.h"

#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "renderer/resources/ResourceManager.h"
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

namespace
{
constexpr uint32_t kDependentType = 4090;

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

class TemplateBodyReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        RTTIClassRegistry::RegisterClass("DependentTestTemplate", "EntityTemplate",
                                         [](int) -> RTTIPolyBaseClass* { return new DependentTestTemplate; });
        TemplateTypeRegistry::GetInstance().RegisterType(kDependentType, 0, "DependentTestTemplate");
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
    EXPECT_NE(gTemplateManager.FindStubByGUID(MakeGUID(4)), nullptr);
}

TEST_F(TemplateBodyReaderTest, TheClassComesFromTheTypeIdPeekedInTheEntry)
{
    WriteScene("Typed", SceneWriter::BuildOptimizedTemplates({{Body("Base", 0, 8, 0), 1},
                                                              {Body("Dep", 0, 9, kDependentType), 1}}));
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
    // Its body loaded the other template inline on the resource thread without a deadlock.
    ASSERT_NE(kind->m_dependency, nullptr);
    EXPECT_STREQ(kind->m_dependency->GetLuaClass(), "BaseFile");
    EXPECT_EQ(kind->m_dependency, gTemplateManager.GetTemplate("base", true));
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
    EXPECT_TRUE(gTemplateManager.FindStubByPath("Units/Tank")->UnloadTemplate());
    EXPECT_TRUE(gTemplateManager.FindStubByPath("Units/Tank")->UnloadTemplate());
    gTemplateManager.UnloadUnusedTemplates();
    EXPECT_EQ(gTemplateManager.FindStubByPath("Units/Tank")->GetTemplate(), nullptr);
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
} // namespace
