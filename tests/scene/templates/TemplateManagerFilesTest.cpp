// The registry filled from files: the ".template" scan and the packed "Templates/TemplateInfo.Bin".
#include "core/filesystem/FileSystem.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateFolder.h"
#include "scene/templates/TemplateManager.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
SimpleGUID MakeGUID(uint8_t high, uint8_t low)
{
    SimpleGUID guid;
    guid.bytes[15] = high;
    guid.bytes[0] = low;
    return guid;
}

std::vector<TemplateStubEntry> SampleEntries()
{
    return {
        {"Units", "Tank", MakeGUID(9, 1), 4096},
        {"Units", "Tanker", MakeGUID(9, 2), 4096},
        {"Units", "zealot", MakeGUID(2, 7), 4097},
        {"Units/Heavy", "Mech", MakeGUID(5, 0), 4098},
        {"", "Root", MakeGUID(0x40, 3), 4096},
        {"props", "Barrel", MakeGUID(1, 1), 4099},
    };
}

class TemplateManagerFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("templates", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    // Every entry is found by GUID and by its path in any case and with either separator.
    static void ExpectLookups(TemplateManager& manager, const std::vector<TemplateStubEntry>& entries)
    {
        for (const TemplateStubEntry& entry : entries)
        {
            EntityTemplateStub* stub = manager.FindStubByGUID(entry.guid);
            ASSERT_NE(stub, nullptr) << entry.name;
            EXPECT_EQ(stub->GetTypeId(), entry.typeId);
            EXPECT_STREQ(stub->GetFileName(), entry.name.c_str());
            std::string path = entry.folder.empty() ? entry.name : entry.folder + "/" + entry.name;
            EXPECT_EQ(manager.FindStubByPath(path.c_str()), stub) << path;
            std::string upper = path;
            for (char& c : upper)
                c = c == '/' ? '\\' : char(std::toupper(uint8_t(c)));
            EXPECT_EQ(manager.FindStubByPath(upper.c_str()), stub) << upper;
        }
        EXPECT_EQ(manager.FindStubByPath("Units/Nothing"), nullptr);
        EXPECT_EQ(manager.FindStubByPath("Units/"), nullptr);
        EXPECT_EQ(manager.FindStubByPath("Nowhere/Root"), nullptr) << "a missing folder is not skipped";
    }

    TempFolder m_folder;
};

TEST_F(TemplateManagerFilesTest, ScanAndPackedIndexGiveTheSameLookups)
{
    ConsoleCapture log;
    const std::vector<TemplateStubEntry> entries = SampleEntries();
    ASSERT_TRUE(TemplateWriter::WriteStubFiles(m_folder.Path(), entries));
    m_folder.WriteFile(".svn/Hidden.template", TemplateWriter::MakeStubText(MakeGUID(0x70, 0), 1));
    m_folder.WriteFile("Units/readme.txt", "not a template");

    // A directory mount is not packed data: Init scans it.
    EXPECT_FALSE(TemplateManager::IsDataPacked());
    TemplateManager scanned;
    scanned.Init();
    EXPECT_TRUE(scanned.IsInitialised());
    ExpectLookups(scanned, entries);
    EXPECT_EQ(scanned.FindStubByGUID(MakeGUID(0x70, 0)), nullptr);
    EntityTemplateStub* mech = scanned.FindStubByGUID(MakeGUID(5, 0));
    EXPECT_EQ(mech->GetPath(), "templates/Units/Heavy/Mech");
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);

    // A container mount is packed data: Init reads its index instead.
    ContainerWriter writer(1);
    ASSERT_TRUE(writer.Add("TemplateInfo.Bin", TemplateWriter::BuildTemplateInfo(entries)));
    ASSERT_TRUE(writer.Write(m_folder / "templates.dat"));
    gFileSystem.UnmountAll();
    ASSERT_TRUE(gFileSystem.MountContainer("templates", (m_folder / "templates.dat").c_str(), 0, 0x5BD1E995u, 0));
    ASSERT_TRUE(TemplateManager::IsDataPacked());
    TemplateManager packed;
    packed.Init();
    ExpectLookups(packed, entries);
    EXPECT_EQ(packed.FindStubByGUID(MakeGUID(5, 0))->GetPath(), "Units/Heavy/Mech");
}

TEST_F(TemplateManagerFilesTest, BadStubFilesAndADuplicatedGUIDAreDropped)
{
    ConsoleCapture log;
    m_folder.WriteFile("a/First.template", TemplateWriter::MakeStubText(MakeGUID(3, 3), 4294967295u, "<Body"));
    m_folder.WriteFile("b/Second.template", TemplateWriter::MakeStubText(MakeGUID(3, 3), 4097));
    m_folder.WriteFile("Empty.template", "");
    m_folder.WriteFile("NoType.template", "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000001\"/>\n");
    m_folder.WriteFile("Other.template", "<Stub GUID=\"00000000-0000-0000-0000-000000000002\" Type=\"1\"/>\n");
    m_folder.WriteFile("BadType.template", "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000004\" Type=\"1x\"/>");
    m_folder.WriteFile("NoDigits.template", "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000005\" Type=\"\"/>");
    m_folder.WriteFile("Huge.template",
                       "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000006\" Type=\"4294967296\"/>");
    m_folder.WriteFile("BadGuid.template", "<TemplateStub GUID=\"0000000G-0000-0000-0000-000000000007\" Type=\"1\"/>");
    // The stub line must end within the first 128 bytes.
    m_folder.WriteFile("Long.template", "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000003\" Type=\"1\" "
                                        "Padding=\"" + std::string(100, 'x') + "\"/>\n");
    const std::string edge = "<TemplateStub GUID=\"00000000-0000-0000-0000-000000000008\" Type=\"2\" Pad=\"";
    m_folder.WriteFile("Edge.template", edge + std::string(125 - edge.size(), 'x') + "\"/>\n");
    TemplateManager manager;
    manager.LoadTemplateFolder();
    ASSERT_NE(manager.FindStubByPath("a/first"), nullptr);
    EXPECT_EQ(manager.FindStubByPath("a/first")->GetTypeId(), 4294967295u);
    EXPECT_EQ(manager.FindStubByPath("a/first")->GetGUID(), MakeGUID(3, 3));
    EXPECT_STREQ(manager.FindStubByPath("a/first")->GetFileName(), "First");
    EXPECT_EQ(manager.FindStubByPath("b/Second"), nullptr);
    EXPECT_TRUE(log.Contains("Unable to register template due to duplicated GUID: templates/b/Second "
                             "(guid used by templates/a/First)",
                             CONSOLE_ERROR));
    for (const char* name : {"Empty", "NoType", "Other", "Long", "BadType", "NoDigits", "Huge", "BadGuid"})
    {
        EXPECT_TRUE(log.Contains(std::string("Unable to load template entity from file: templates/") + name,
                                 CONSOLE_ERROR))
            << name;
        EXPECT_EQ(manager.FindStubByPath(name), nullptr);
    }
    ASSERT_EQ(manager.GetRootFolder()->GetStubs().Count(), 1) << "a stub line of exactly 128 bytes is whole";
    EXPECT_EQ(manager.GetRootFolder()->GetStubs()[0]->GetTypeId(), 2u);
}

// Bytes laid out by hand: two stubs (GUID order), root folder with one subfolder "Units" holding
// both stubs and one unknown GUID.
std::vector<uint8_t> HandMadeTemplateInfo()
{
    std::vector<uint8_t> bytes;
    auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    };
    auto guid = [&bytes](uint8_t high) {
        for (int i = 0; i < 15; ++i)
            bytes.push_back(0);
        bytes.push_back(high);
    };
    auto text = [&bytes](const char* s) {
        for (; *s != 0; ++s)
            bytes.push_back(uint8_t(*s));
        bytes.push_back(0);
    };
    u32(2);
    u32(4 + 16 + 4); // "Car\0", GUID, type
    text("Car");
    guid(1);
    u32(4100);
    u32(6 + 16 + 4);
    text("Plane");
    guid(2);
    u32(4101);
    u32(0); // root: no name
    u32(0);
    u32(1);
    u32(6);
    text("Units");
    u32(3); // by file name, as lookups bisect them; GUID 9 is unknown and skipped
    guid(1);
    guid(2);
    guid(9);
    u32(0);
    return bytes;
}

TEST_F(TemplateManagerFilesTest, AHandMadeIndexLoadsAndEveryForgedCountIsRefused)
{
    ConsoleCapture log;
    std::vector<uint8_t> bytes = HandMadeTemplateInfo();
    {
        TemplateManager manager;
        ASSERT_TRUE(manager.ReadTemplateInfo(bytes.data(), bytes.size()));
        EntityTemplateStub* car = manager.FindStubByPath("units/car");
        ASSERT_NE(car, nullptr);
        EXPECT_EQ(car->GetTypeId(), 4100u);
        EXPECT_EQ(car->GetGUID().bytes[15], 1);
        EXPECT_EQ(manager.FindStubByGUID(car->GetGUID()), car);
        ASSERT_NE(manager.FindStubByPath("Units\\Plane"), nullptr);
        EXPECT_EQ(manager.FindStubByPath("Units\\Plane")->GetTypeId(), 4101u);
        // A second index would orphan the first one's stubs: refused.
        EXPECT_FALSE(manager.ReadTemplateInfo(bytes.data(), bytes.size()));
        EXPECT_TRUE(log.Contains("the registry is already filled", CONSOLE_ERROR));
        EXPECT_EQ(manager.FindStubByPath("units/car"), car);
    }
    // Every truncation fails without registering anything.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        TemplateManager manager;
        EXPECT_FALSE(manager.ReadTemplateInfo(bytes.data(), cut)) << cut;
        SimpleGUID first;
        first.bytes[15] = 1;
        EXPECT_EQ(manager.FindStubByGUID(first), nullptr);
    }
    // A stub count past the bytes.
    std::vector<uint8_t> forged = bytes;
    forged[0] = 0xFF;
    forged[3] = 0x7F;
    TemplateManager manager;
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    // A stub record one byte longer than its payload.
    forged = bytes;
    forged[4] = 4 + 16 + 4 + 1;
    forged.insert(forged.begin() + 4 + 4 + 24, 0);
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    EXPECT_TRUE(log.Contains("not a whole stub payload (stub 0)", CONSOLE_ERROR));
    // Unsorted and duplicate GUIDs are refused.
    forged = bytes;
    forged[4 + 4 + 4 + 15] = 3; // the first stub's GUID now sorts after the second
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    EXPECT_TRUE(log.Contains("not in strictly ascending order", CONSOLE_ERROR));
    forged[4 + 4 + 4 + 15] = 2;
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    // A folder count past the bytes.
    forged = bytes;
    forged[bytes.size() - 4 - 3 * 16 - 4 - 6 - 4 - 4] = 0xFF;
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    EXPECT_EQ(manager.GetRootFolder(), nullptr);
    // A root name longer than the bytes left, with whole folder records after it.
    forged = bytes;
    forged[4 + (4 + 24) + (4 + 26) + 1] = 1;
    EXPECT_FALSE(manager.ReadTemplateInfo(forged.data(), forged.size()));
    EXPECT_TRUE(log.Contains("the root folder record is cut short", CONSOLE_ERROR));
    EXPECT_EQ(manager.GetRootFolder(), nullptr);
    // A GUID a stub made elsewhere holds already refuses the index; that stub stays.
    auto* held = new EntityTemplateStub;
    SimpleGUID second;
    second.bytes[15] = 2;
    held->SetGUID(second);
    ASSERT_TRUE(manager.RegisterStub(held));
    EXPECT_FALSE(manager.ReadTemplateInfo(bytes.data(), bytes.size()));
    EXPECT_TRUE(log.Contains("a stub GUID is already registered (stub 1)", CONSOLE_ERROR));
    EXPECT_EQ(manager.FindStubByGUID(second), held);
}

} // namespace
