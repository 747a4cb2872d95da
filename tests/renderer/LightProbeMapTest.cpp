// The light probe map file: a hand-written file read field by field, refused headers and damaged
// counts leaving an empty map, and a second load emptying the first.
#include "renderer/LightProbeMap.h"

#include "core/filesystem/FileSystem.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/LightProbeMapWriter.h"

#include <gtest/gtest.h>

namespace
{
class LightProbeMapTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("scenes", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    void ExpectEmpty(const LightProbeMap& map)
    {
        EXPECT_EQ(map.GetWidth(), 0u);
        EXPECT_EQ(map.GetHeight(), 0u);
        EXPECT_TRUE(map.GetRectangle().Equal(Vector(0.0f, 0.0f, 1.0f, 1.0f)));
        for (uint32_t layer = 0; layer < LightProbeMap::kLayerCount; ++layer)
        {
            EXPECT_TRUE(map.GetCells(layer).empty()) << layer;
            EXPECT_TRUE(map.GetProbes(layer).empty()) << layer;
            EXPECT_EQ(map.GetProbeCount(layer), 0u) << layer;
        }
    }

    // A 2x1 map with one probe in layer 0 and two in layer 3.
    static LightProbeMapSpec SmallSpec()
    {
        LightProbeMapSpec spec;
        spec.width = 2;
        spec.height = 1;
        spec.probes[0].resize(1);
        spec.probes[3].resize(2);
        return spec;
    }

    TempFolder m_folder;
    ConsoleCapture m_log;
};
} // namespace

// Bytes written by hand, not by the kit: 1x1, one probe in layer 2 only.
TEST_F(LightProbeMapTest, ReadsAHandWrittenFile)
{
    std::string file("\x00\x44\x50\x4C"
                     "\x04\x00\x04\x00"
                     "\x01\x00\x01\x00"
                     "\x00\x00\x00\x00"
                     "\x00\x00\x00\x00"
                     "\x01\x00\x00\x00"
                     "\x00\x00\x00\x00"
                     "\x00\x00\x80\x3F"
                     "\x00\x00\x00\x40"
                     "\x00\x00\x40\x40"
                     "\x00\x00\x80\x40",
                     44);
    file += std::string("\x07\x00\x00\x00", 4);              // layer 0 cell
    file += std::string("\x08\x00\x00\x00", 4);              // layer 1 cell
    file += std::string("\x09\x01\x00\x00", 4);              // layer 2 cell
    file += std::string("ABCDEFGHIJKLMNOPQR", 18);           // layer 2 probe
    file += std::string("\xFF\xFF\xFF\xFF", 4);              // layer 3 cell
    m_folder.WriteFile("Hand.lpd", file);

    LightProbeMap map;
    ASSERT_TRUE(map.Load("Hand"));
    EXPECT_EQ(map.GetWidth(), 1u);
    EXPECT_EQ(map.GetHeight(), 1u);
    EXPECT_TRUE(map.GetRectangle().Equal(Vector(1.0f, 2.0f, 3.0f, 4.0f)));
    EXPECT_EQ(map.GetCells(0), std::vector<uint32_t>{7});
    EXPECT_EQ(map.GetCells(1), std::vector<uint32_t>{8});
    EXPECT_EQ(map.GetCells(2), std::vector<uint32_t>{0x109});
    EXPECT_EQ(map.GetCells(3), std::vector<uint32_t>{0xFFFFFFFFu});
    EXPECT_EQ(map.GetProbeCount(2), 1u);
    EXPECT_EQ(std::string(map.GetProbes(2).begin(), map.GetProbes(2).end()), "ABCDEFGHIJKLMNOPQR");
    EXPECT_TRUE(map.GetProbes(0).empty());
    EXPECT_TRUE(m_log.Contains("Loading game light probe map Hand", CONSOLE_INFO));
    EXPECT_TRUE(m_log.Contains("Loaded game light probe map (1x1)", CONSOLE_INFO));
}

// Each damage leaves an empty map and an error that names the file and its fault; short data is
// found from the counts before any layer is read. A missing file is simply no map.
TEST_F(LightProbeMapTest, RefusedFilesLeaveAnEmptyMap)
{
    const std::string good = BuildLightProbeMap(SmallSpec());
    struct Case
    {
        const char* name;
        std::string bytes;
        const char* error;
    };
    std::string magic = good, versionA = good, versionB = good, hugeCount = good;
    magic[0] = 1;
    versionA[4] = 5;
    versionB[6] = 5;
    hugeCount[12] = char(0xFF);
    hugeCount[13] = char(0xFF);
    const Case cases[] = {
        {"Magic", magic, "scenes/Magic.lpd has magic 0x4C504401, version 4.4"},
        {"FirstWord5", versionA, "scenes/FirstWord5.lpd has magic 0x4C504400, version 5.4"},
        {"SecondWord5", versionB, "scenes/SecondWord5.lpd has magic 0x4C504400, version 4.5"},
        {"ShortHeader", good.substr(0, 43), "scenes/ShortHeader.lpd ends inside its 44-byte header"},
        {"Empty", "", "scenes/Empty.lpd ends inside its 44-byte header"},
        {"ShortLastProbe", good.substr(0, good.size() - 1),
         "scenes/ShortLastProbe.lpd holds 85 bytes after its header but its counts need 86"},
        {"CountPastTheEnd", hugeCount, "its counts need"},
    };
    for (const Case& c : cases)
    {
        m_folder.WriteFile(std::string(c.name) + ".lpd", c.bytes);
        LightProbeMap map;
        m_log.Clear();
        EXPECT_FALSE(map.Load(c.name)) << c.name;
        ExpectEmpty(map);
        EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u) << c.name;
        EXPECT_TRUE(m_log.Contains(c.error, CONSOLE_ERROR)) << c.name;
        EXPECT_FALSE(m_log.Contains("Loaded game light probe map")) << c.name;
    }
}

TEST_F(LightProbeMapTest, ASecondLoadEmptiesTheFirstMap)
{
    m_folder.WriteFile("Small.lpd", BuildLightProbeMap(SmallSpec()));
    LightProbeMap map;
    ASSERT_TRUE(map.Load("Small"));
    EXPECT_TRUE(m_log.Contains("Loaded game light probe map (2x1)", CONSOLE_INFO));
    EXPECT_FALSE(map.Load("Missing"));
    ExpectEmpty(map);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u) << "a scene without a map is no fault";

    LightProbeMapSpec one;
    one.width = 1;
    one.height = 1;
    one.cells[1] = {5};
    m_folder.WriteFile("One.lpd", BuildLightProbeMap(one));
    ASSERT_TRUE(map.Load("Small"));
    ASSERT_TRUE(map.Load("One"));
    EXPECT_EQ(map.GetCells(1), std::vector<uint32_t>{5});
    EXPECT_TRUE(map.GetRectangle().Equal(Vector(0.0f, 0.0f, 1.0f, 1.0f))) << "the kit writes the unit square unless told";
    EXPECT_EQ(map.GetProbeCount(3), 0u);
    EXPECT_TRUE(map.GetProbes(3).empty());
    map.Clear();
    ExpectEmpty(map);
}
